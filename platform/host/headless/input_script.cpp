// Scripted input: PRISMATEL_INPUT's keys and mouse buttons, due as the machine clock
// passes their times.
#include "input_script.h"

#include "parts.h"

#include <ctype.h>
#include <stdio.h>

#include <algorithm>
#include <mutex>

namespace host {
namespace headless {
namespace {

struct ScriptState {
    std::mutex lock;
    bool loaded = false;
    std::vector<ScriptedInput> events;
    std::vector<int64_t> deliveredUs; // when each event was delivered; -1 while pending
    size_t next = 0;
};

ScriptState& TheScript() {
    static ScriptState* state = new ScriptState; // outlives exit handlers: threads may still run
    return *state;
}

std::string Trim(const std::string& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && isspace((unsigned char)text[begin])) begin++;
    while (end > begin && isspace((unsigned char)text[end - 1])) end--;
    return text.substr(begin, end - begin);
}

bool ParseTime(const std::string& text, int64_t* timeMs) {
    if (text.empty() || text.size() > 12) return false;
    int64_t value = 0;
    for (char c : text) {
        if (!isdigit((unsigned char)c)) return false;
        value = value * 10 + (c - '0');
    }
    *timeMs = value;
    return true;
}

// "MOUSE0".."MOUSE3" give the button, anything else -1.
int MouseButtonFromName(const std::string& name) {
    std::string upper;
    for (char c : name) upper += (char)toupper((unsigned char)c);
    if (upper.size() == 6 && upper.compare(0, 5, "MOUSE") == 0 && upper[5] >= '0' &&
        upper[5] <= '3')
        return upper[5] - '0';
    return -1;
}

enum Action { PRESS_AND_RELEASE, HOLD, RELEASE };

struct Item {
    int64_t timeMs;
    Action action;
    bool mouse;
    int code;
};

bool ParseKey(const std::string& text, Item* item) {
    std::string name = text;
    item->action = PRESS_AND_RELEASE;
    if (!name.empty() && (name[0] == '+' || name[0] == '-')) {
        item->action = name[0] == '+' ? HOLD : RELEASE;
        name = Trim(name.substr(1));
    }
    int button = MouseButtonFromName(name);
    item->mouse = button >= 0;
    item->code = item->mouse ? button : ScanCodeFromName(name);
    return item->code >= 0;
}

// One "T:KEY" or "KEY" item; `time` carries the last time given (-1: none yet).
bool ParseItem(const std::string& text, int64_t* time, Item* item) {
    std::string keyText = text;
    size_t colon = text.find(':');
    if (colon != std::string::npos) {
        int64_t newTime;
        if (!ParseTime(Trim(text.substr(0, colon)), &newTime)) return false;
        *time = newTime;
        keyText = text.substr(colon + 1);
    }
    if (*time < 0) return false;
    item->timeMs = *time;
    return ParseKey(Trim(keyText), item);
}

} // namespace

std::vector<ScriptedInput> ParseInputScript(const std::string& script,
                                            std::vector<std::string>* errors) {
    std::vector<Item> items;
    int64_t time = -1;
    size_t start = 0;
    while (start <= script.size()) {
        size_t comma = script.find(',', start);
        if (comma == std::string::npos) comma = script.size();
        std::string text = Trim(script.substr(start, comma - start));
        start = comma + 1;
        if (text.empty()) continue;
        Item item;
        if (ParseItem(text, &time, &item))
            items.push_back(item);
        else if (errors)
            errors->push_back(text);
    }
    std::stable_sort(items.begin(), items.end(),
                     [](const Item& a, const Item& b) { return a.timeMs < b.timeMs; });

    // Within one time, the releases of plain keys come last: they wait for a later frame and
    // must not hold back the other keys and buttons of that time.
    std::vector<ScriptedInput> events;
    for (size_t first = 0; first < items.size();) {
        size_t end = first;
        while (end < items.size() && items[end].timeMs == items[first].timeMs) end++;
        std::vector<ScriptedInput> releases;
        for (size_t i = first; i < end; i++) {
            const Item& item = items[i];
            events.push_back({item.timeMs, item.mouse, item.code, item.action != RELEASE, -1});
            if (item.action == PRESS_AND_RELEASE)
                releases.push_back(
                    {item.timeMs, item.mouse, item.code, false, (int)events.size() - 1});
        }
        events.insert(events.end(), releases.begin(), releases.end());
        first = end;
    }
    return events;
}

namespace {

void LoadInputScriptLocked(ScriptState& state, const std::string& script) {
    std::vector<std::string> errors;
    state.events = ParseInputScript(script, &errors);
    state.deliveredUs.assign(state.events.size(), -1);
    state.next = 0;
    state.loaded = true;
    for (const std::string& error : errors)
        fprintf(stderr, "PRISMATEL_INPUT: cannot read \"%s\", skipped\n", error.c_str());
}

} // namespace

void LoadInputScript(const std::string& script) {
    ScriptState& state = TheScript();
    std::lock_guard<std::mutex> lock(state.lock);
    LoadInputScriptLocked(state, script);
}

void ResetInputScript() {
    ScriptState& state = TheScript();
    std::lock_guard<std::mutex> lock(state.lock);
    state.loaded = false;
    state.events.clear();
    state.deliveredUs.clear();
    state.next = 0;
}

namespace {

int64_t FrameMicroseconds() {
    int fps = Configured().fps;
    return fps > 0 ? 1000000 / fps : 1000000 / 60;
}

// A plain key's release waits until a later frame than the one that saw its press.
bool ReleaseIsDue(const ScriptState& state, const ScriptedInput& event, int64_t nowUs) {
    if (event.pressIndex < 0) return true;
    int64_t pressedUs = state.deliveredUs[event.pressIndex];
    return pressedUs >= 0 && nowUs - pressedUs > FrameMicroseconds() / 2;
}

Event EventOf(const ScriptedInput& input) {
    Event event;
    event.kind = input.mouse ? Event::MOUSE_BUTTON : Event::KEY;
    event.a = input.code;
    event.b = input.pressed ? 1 : 0;
    return event;
}

class Script : public InputScript {
public:
    // A plain key's release comes no earlier than one frame after its press was taken, so
    // that a reader polling once per frame sees the key held.
    void TakeDue(int64_t nowUs, std::vector<Event>& events) override {
        ScriptState& state = TheScript();
        std::lock_guard<std::mutex> lock(state.lock);
        if (!state.loaded) LoadInputScriptLocked(state, Configured().input);
        while (state.next < state.events.size()) {
            const ScriptedInput& input = state.events[state.next];
            if (input.timeMs * 1000 > nowUs || !ReleaseIsDue(state, input, nowUs)) break;
            events.push_back(EventOf(input));
            state.deliveredUs[state.next++] = nowUs;
        }
    }
};

} // namespace

InputScript* TheInputScript() {
    static Script* script = new Script; // outlives exit handlers
    return script;
}

} // namespace headless
} // namespace host
