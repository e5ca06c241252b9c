// mciSendCommandA for the "cdaudio" device type over the simulated CD drive: open and close,
// time formats (milliseconds, MSF, TMSF), status items, play and stop.
#include <mmsystem.h>

#include "machine/cd_drive.h"
#include "machine/machine.h"

#include <strings.h>

#include <map>
#include <mutex>

namespace {

const int64_t MS_PER_MINUTE = 60000;
const int FRAMES_PER_SECOND = 75;

struct OpenDevice {
    DWORD timeFormat = MCI_FORMAT_MSF; // a cdaudio device starts in MSF
    bool shareable = false;
};

struct MciState {
    std::mutex lock;
    std::map<MCIDEVICEID, OpenDevice> devices;
    MCIDEVICEID nextId = 1;
};

MciState& State() {
    static MciState* state = new MciState;
    return *state;
}

// ---- time formats ------------------------------------------------------------------------------

DWORD MsfOf(int64_t ms) {
    return MCI_MAKE_MSF(ms / MS_PER_MINUTE, (ms / 1000) % 60,
                        (ms % 1000) * FRAMES_PER_SECOND / 1000);
}

int64_t MsOfMsf(int minutes, int seconds, int frames) {
    return minutes * MS_PER_MINUTE + seconds * 1000 + frames * 1000 / FRAMES_PER_SECOND;
}

// The track (1-based) holding a disc position; 0 before the first track.
int TrackAt(const machine::CdDiscSpec& disc, int64_t ms) {
    int track = 0;
    for (size_t i = 0; i < disc.tracks.size(); i++)
        if (disc.tracks[i].startMs <= ms) track = (int)i + 1;
    return track;
}

DWORD TmsfOf(const machine::CdDiscSpec& disc, int64_t ms) {
    int track = TrackAt(disc, ms);
    if (track == 0) return MCI_MAKE_TMSF(1, 0, 0, 0);
    int64_t offset = ms - disc.tracks[track - 1].startMs;
    return MCI_MAKE_TMSF(track, offset / MS_PER_MINUTE, (offset / 1000) % 60,
                         (offset % 1000) * FRAMES_PER_SECOND / 1000);
}

// A position as the device's time format expresses it.
DWORD_PTR Express(const machine::CdDiscSpec& disc, DWORD format, int64_t ms) {
    switch (format) {
    case MCI_FORMAT_MILLISECONDS: return (DWORD_PTR)ms;
    case MCI_FORMAT_TMSF: return TmsfOf(disc, ms);
    default: return MsfOf(ms);
    }
}

// A length: TMSF has no lengths of its own, so they come as MSF.
DWORD_PTR ExpressLength(DWORD format, int64_t ms) {
    return format == MCI_FORMAT_MILLISECONDS ? (DWORD_PTR)ms : MsfOf(ms);
}

// A position given in the device's time format; false when it names no place on the disc.
bool Interpret(const machine::CdDiscSpec& disc, DWORD format, DWORD value, int64_t* ms) {
    switch (format) {
    case MCI_FORMAT_MILLISECONDS: *ms = value; break;
    case MCI_FORMAT_TMSF: {
        int track = MCI_TMSF_TRACK(value);
        if (track < 1 || track > (int)disc.tracks.size()) return false;
        *ms = disc.tracks[track - 1].startMs +
              MsOfMsf(MCI_TMSF_MINUTE(value), MCI_TMSF_SECOND(value), MCI_TMSF_FRAME(value));
        break;
    }
    default:
        *ms = MsOfMsf(MCI_MSF_MINUTE(value), MCI_MSF_SECOND(value), MCI_MSF_FRAME(value));
        break;
    }
    return *ms <= machine::CdDiscEndMs(disc);
}

int64_t TrackLengthMs(const machine::CdDiscSpec& disc, int track) {
    int64_t end =
        track < (int)disc.tracks.size() ? disc.tracks[track].startMs : machine::CdDiscEndMs(disc);
    return end - disc.tracks[track - 1].startMs;
}

// ---- commands
// ------------------------------------------------------------------------------------

MCIERROR Open(DWORD flags, MCI_OPEN_PARMSA* parms) {
    if (!parms) return MCIERR_NULL_PARAMETER_BLOCK;
    if (flags & (MCI_OPEN_TYPE_ID | MCI_OPEN_ELEMENT_ID | MCI_OPEN_ELEMENT | MCI_OPEN_ALIAS))
        return MCIERR_UNSUPPORTED_FUNCTION;
    if (!(flags & MCI_OPEN_TYPE)) return MCIERR_DEVICE_TYPE_REQUIRED;
    if (!parms->lpstrDeviceType || strcasecmp(parms->lpstrDeviceType, "cdaudio") != 0 ||
        !machine::CdDrivePresent())
        return MCIERR_INVALID_DEVICE_NAME;
    MciState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    bool shareable = (flags & MCI_OPEN_SHAREABLE) != 0;
    for (auto& entry : state.devices)
        if (!shareable || !entry.second.shareable) return MCIERR_MUST_USE_SHAREABLE;
    MCIDEVICEID id = state.nextId++;
    state.devices[id].shareable = shareable;
    parms->wDeviceID = id;
    return 0;
}

MCIERROR Close(MCIDEVICEID id) {
    MciState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    if (id == MCI_ALL_DEVICE_ID)
        state.devices.clear();
    else if (!state.devices.erase(id))
        return MCIERR_INVALID_DEVICE_ID;
    // The simulated drive stops when no one has it open any more.
    if (state.devices.empty()) machine::CdStopPlaying();
    return 0;
}

MCIERROR Set(OpenDevice& device, DWORD flags, const MCI_SET_PARMS* parms) {
    if (!parms) return MCIERR_NULL_PARAMETER_BLOCK;
    if (flags & ~(MCI_SET_TIME_FORMAT | MCI_NOTIFY | MCI_WAIT)) return MCIERR_UNSUPPORTED_FUNCTION;
    if (!(flags & MCI_SET_TIME_FORMAT)) return MCIERR_MISSING_PARAMETER;
    DWORD format = parms->dwTimeFormat;
    if (format != MCI_FORMAT_MILLISECONDS && format != MCI_FORMAT_MSF && format != MCI_FORMAT_TMSF)
        return MCIERR_BAD_TIME_FORMAT;
    device.timeFormat = format;
    return 0;
}

MCIERROR StatusWithoutDisc(DWORD item, DWORD_PTR* value) {
    switch (item) {
    case MCI_STATUS_MODE: *value = MCI_MODE_NOT_READY; return 0;
    case MCI_STATUS_MEDIA_PRESENT:
    case MCI_STATUS_READY: *value = FALSE; return 0;
    default: return MCIERR_DEVICE_NOT_READY;
    }
}

MCIERROR Status(const OpenDevice& device, DWORD flags, MCI_STATUS_PARMS* parms) {
    if (!parms) return MCIERR_NULL_PARAMETER_BLOCK;
    if (!(flags & MCI_STATUS_ITEM)) return MCIERR_MISSING_PARAMETER;
    DWORD item = parms->dwItem;
    if (item == MCI_STATUS_TIME_FORMAT) {
        parms->dwReturn = device.timeFormat;
        return 0;
    }
    machine::CdDiscSpec disc;
    if (!machine::CdDisc(&disc)) return StatusWithoutDisc(item, &parms->dwReturn);
    bool byTrack = (flags & MCI_TRACK) != 0;
    int track = (int)parms->dwTrack;
    if (byTrack && (track < 1 || track > (int)disc.tracks.size())) return MCIERR_OUTOFRANGE;
    switch (item) {
    case MCI_STATUS_NUMBER_OF_TRACKS: parms->dwReturn = disc.tracks.size(); break;
    case MCI_STATUS_POSITION: {
        int64_t ms = byTrack ? disc.tracks[track - 1].startMs : machine::CdPositionMs();
        parms->dwReturn = Express(disc, device.timeFormat, ms);
        break;
    }
    case MCI_STATUS_LENGTH: {
        int64_t ms = byTrack ? TrackLengthMs(disc, track) : disc.lengthMs;
        parms->dwReturn = ExpressLength(device.timeFormat, ms);
        break;
    }
    case MCI_STATUS_MODE:
        parms->dwReturn = machine::CdPlaying() ? MCI_MODE_PLAY : MCI_MODE_STOP;
        break;
    case MCI_STATUS_MEDIA_PRESENT:
    case MCI_STATUS_READY: parms->dwReturn = TRUE; break;
    case MCI_STATUS_CURRENT_TRACK: parms->dwReturn = TrackAt(disc, machine::CdPositionMs()); break;
    default: return MCIERR_UNSUPPORTED_FUNCTION;
    }
    return 0;
}

MCIERROR Play(const OpenDevice& device, DWORD flags, const MCI_PLAY_PARMS* parms) {
    if ((flags & (MCI_FROM | MCI_TO)) && !parms) return MCIERR_NULL_PARAMETER_BLOCK;
    // Waiting would stop the calling thread for the whole play; notifications need a window.
    if (flags & (MCI_WAIT | MCI_NOTIFY)) return MCIERR_UNSUPPORTED_FUNCTION;
    machine::CdDiscSpec disc;
    if (!machine::CdDisc(&disc)) return MCIERR_DEVICE_NOT_READY;
    int64_t from = machine::CdPositionMs();
    int64_t to = machine::CdDiscEndMs(disc);
    if ((flags & MCI_FROM) && !Interpret(disc, device.timeFormat, parms->dwFrom, &from))
        return MCIERR_OUTOFRANGE;
    if ((flags & MCI_TO) && !Interpret(disc, device.timeFormat, parms->dwTo, &to))
        return MCIERR_OUTOFRANGE;
    if (from > to) return MCIERR_OUTOFRANGE;
    machine::CdStartPlaying(from, to);
    return 0;
}

MCIERROR Stop() {
    machine::CdStopPlaying();
    return 0;
}

// The status item (or the new time format) a command is about, for the log and failures.
DWORD ItemOf(UINT message, DWORD_PTR parameters) {
    if (!parameters) return 0;
    if (message == MCI_STATUS) return reinterpret_cast<const MCI_STATUS_PARMS*>(parameters)->dwItem;
    if (message == MCI_SET) return reinterpret_cast<const MCI_SET_PARMS*>(parameters)->dwTimeFormat;
    return 0;
}

MCIERROR Dispatch(MCIDEVICEID id, UINT message, DWORD flags, DWORD_PTR parameters) {
    if (message == MCI_OPEN) return Open(flags, reinterpret_cast<MCI_OPEN_PARMSA*>(parameters));
    if (message == MCI_CLOSE) return Close(id);
    OpenDevice device;
    {
        MciState& state = State();
        std::lock_guard<std::mutex> guard(state.lock);
        auto found = state.devices.find(id);
        if (found == state.devices.end()) return MCIERR_INVALID_DEVICE_ID;
        if (message == MCI_SET) {
            return Set(found->second, flags, reinterpret_cast<const MCI_SET_PARMS*>(parameters));
        }
        device = found->second;
    }
    switch (message) {
    case MCI_STATUS: return Status(device, flags, reinterpret_cast<MCI_STATUS_PARMS*>(parameters));
    case MCI_PLAY: return Play(device, flags, reinterpret_cast<const MCI_PLAY_PARMS*>(parameters));
    case MCI_STOP: return Stop();
    default: return MCIERR_UNRECOGNIZED_COMMAND;
    }
}

// A new run of the machine starts with no device open.
void CloseAllDevices() {
    MciState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    state.devices.clear();
}

const int resetHook = machine::AddResetHook(CloseAllDevices);

} // namespace

extern "C" MCIERROR WINAPI mciSendCommandA(MCIDEVICEID device, UINT message, DWORD_PTR flags,
                                           DWORD_PTR parameters) {
    DWORD item = ItemOf(message, parameters);
    machine::RecordMciCall({device, message, (DWORD)flags, item});
    MCIERROR error;
    if (machine::TakeMciFailure(message, item, &error)) return error;
    return Dispatch(device, message, (DWORD)flags, parameters);
}
