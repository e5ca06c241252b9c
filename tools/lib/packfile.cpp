#include "packfile.h"

#include <set>

namespace packfile {

namespace {

const uint32_t HEAD_TAG = 0x4B434150; // "PACK"
const uint32_t END_TAG = 0x6B636170;  // "pack"
const size_t FIXED_BYTES = 20;        // head, two reserved words, count, end tag
const size_t MIN_ENTRY_BYTES = 9;     // two words and a NUL

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; i++) out.push_back(uint8_t(v >> (8 * i)));
}

class Reader {
public:
    Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool U32(uint32_t& v) {
        if (size_ - pos_ < 4) return false;
        v = 0;
        for (int i = 0; i < 4; i++) v |= uint32_t(data_[pos_ + i]) << (8 * i);
        pos_ += 4;
        return true;
    }
    // The whole NUL-terminated string; false when the file ends first.
    bool String(std::string& s) {
        s.clear();
        while (pos_ < size_) {
            char c = char(data_[pos_++]);
            if (c == 0) return true;
            s.push_back(c);
        }
        return false;
    }
    size_t Position() const { return pos_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

bool ReadEntries(Reader& in, size_t fileSize, Directory& out, std::string& error) {
    std::set<std::string> seen;
    for (uint32_t i = 0; i < out.count; i++) {
        Member m;
        std::string name;
        if (!in.U32(m.size) || !in.U32(m.offset) || !in.String(name)) {
            error = "Illegal Fastfile: the file ends inside entry " + std::to_string(i) +
                    " of the directory";
            return false;
        }
        if (name.size() > MAX_NAME_BYTES) {
            out.warnings.push_back("name of entry " + std::to_string(i) +
                                   " cut to 63 bytes: " + name);
            name.resize(MAX_NAME_BYTES);
        }
        m.name = NormaliseName(name);
        if (!seen.insert(m.name).second)
            out.warnings.push_back("duplicate name " + m.name +
                                   ": only the first entry can be opened");
        if (uint64_t(m.offset) + m.size > fileSize)
            out.warnings.push_back("member " + m.name + " reaches beyond the end of the file");
        out.members.push_back(m);
    }
    return true;
}

} // namespace

std::string NormaliseName(const std::string& name) {
    std::string out = name;
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
        if (c == '\\') c = '/';
    }
    return out;
}

std::string StoredName(const std::string& name) {
    std::string out = name;
    for (char& c : out)
        if (c == '\\') c = '/';
    return out;
}

bool CheckNames(const std::vector<std::string>& names, std::string& error) {
    std::set<std::string> seen;
    for (const std::string& name : names) {
        if (name.empty()) {
            error = "empty member name";
            return false;
        }
        if (name.size() > MAX_NAME_BYTES) {
            error = "name " + name + " has " + std::to_string(name.size()) +
                    " bytes; the loader keeps at most 63 and would cut it";
            return false;
        }
        if (name.find('\0') != std::string::npos) {
            error = "member name with a NUL byte";
            return false;
        }
        if (!seen.insert(NormaliseName(name)).second) {
            error = "duplicate name " + name + " (names are compared ignoring case)";
            return false;
        }
    }
    return true;
}

bool Build(const std::vector<Input>& members, std::vector<uint8_t>& out, std::string& error) {
    std::vector<std::string> names;
    for (const Input& m : members) names.push_back(StoredName(m.name));
    if (!CheckNames(names, error)) return false;
    uint64_t directory = FIXED_BYTES;
    for (const std::string& n : names) directory += 8 + n.size() + 1;
    uint64_t offset = directory;
    out.clear();
    PutU32(out, HEAD_TAG);
    PutU32(out, 0);
    PutU32(out, 0);
    PutU32(out, uint32_t(members.size()));
    for (size_t i = 0; i < members.size(); i++) {
        if (offset + members[i].data.size() > 0xFFFFFFFFull) {
            error = "the packfile would pass 4 GiB at " + names[i];
            return false;
        }
        PutU32(out, uint32_t(members[i].data.size()));
        PutU32(out, uint32_t(offset));
        out.insert(out.end(), names[i].begin(), names[i].end());
        out.push_back(0);
        offset += members[i].data.size();
    }
    PutU32(out, END_TAG);
    for (const Input& m : members) out.insert(out.end(), m.data.begin(), m.data.end());
    return true;
}

bool ReadDirectory(const uint8_t* data, size_t size, Directory& out, std::string& error) {
    out = Directory();
    Reader in(data, size);
    uint32_t tag = 0, reserved = 0;
    if (!in.U32(tag) || tag != HEAD_TAG) {
        error = "Illegal Packfile: no PACK head tag";
        return false;
    }
    if (!in.U32(reserved) || !in.U32(reserved) || !in.U32(out.count)) {
        // The loader's reads deliver what is there and leave the rest of the count 0.
        out.count = 0;
        for (size_t i = 12; i < size && i < 16; i++)
            out.count |= uint32_t(data[i]) << (8 * (i - 12));
        if (out.count != 0) {
            error = "Illegal Packfile: the file ends inside the header";
            return false;
        }
        out.warnings.push_back("the header is cut short; its entry count reads as 0");
    }
    if (out.count == 0) {
        out.warnings.push_back("empty directory: the engine reads loose files from disk instead");
        out.directoryBytes = in.Position();
        return true;
    }
    if (size < FIXED_BYTES || out.count > (size - FIXED_BYTES) / MIN_ENTRY_BYTES) {
        error = "Illegal Packfile: " + std::to_string(out.count) +
                " entries cannot fit in a file of " + std::to_string(size) + " bytes";
        return false;
    }
    if (!ReadEntries(in, size, out, error)) return false;
    if (!in.U32(tag) || tag != END_TAG) {
        error = "Illegal Fastfile: the directory is not followed by the pack end tag";
        return false;
    }
    out.directoryBytes = in.Position();
    return true;
}

} // namespace packfile
