// sim/recording_reader.cpp -- the .rec reader: the file is taken a block at a time, each block's
// framing and checksum checked and every record in it decoded once to prove it sound before the
// next block is read; then the blocks are read again, one at a time, and their records decoded
// again on demand for the replay. Every length
// and number read from the file is bounded, by the writer's own limits, before it is used.
#include "sim/recording_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "host/recorder.h"

using namespace recording;

namespace {

// No recording is larger: the writer ends one before it would pass its cap.
constexpr uint64_t LargestRecording = DefaultRecordingSizeCap + WriterBufferBytes;

// Reads within [at, end) of bytes; any read past the end sets failed.
class Bytes {
public:
    Bytes(const std::vector<uint8_t>& data, size_t at, size_t end) : data_(data), at_(at), end_(end) {}
    size_t At() const { return at_; }
    bool Done() const { return at_ >= end_; }
    bool Failed() const { return failed_; }

    uint8_t Byte()
    {
        if (at_ >= end_) {
            failed_ = true;
            return 0;
        }
        return data_[at_++];
    }
    uint64_t Varint()
    {
        uint64_t v = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            const uint8_t b = Byte();
            if (failed_)
                return 0;
            if (shift == 63 && b > 1) {
                failed_ = true;  // more than 64 bits
                return 0;
            }
            v |= static_cast<uint64_t>(b & 0x7F) << shift;
            if ((b & 0x80) == 0)
                return v;
        }
        failed_ = true;
        return 0;
    }
    uint32_t Varint32()
    {
        const uint64_t v = Varint();
        if (v > 0xFFFFFFFFull)
            failed_ = true;
        return static_cast<uint32_t>(v);
    }
    uint32_t Fixed32()
    {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= static_cast<uint32_t>(Byte()) << (8 * i);
        return v;
    }
    uint64_t Fixed64()
    {
        uint64_t v = 0;
        for (int i = 0; i < 8; ++i)
            v |= static_cast<uint64_t>(Byte()) << (8 * i);
        return v;
    }
    std::string Text(size_t length)
    {
        if (length > end_ - at_) {
            failed_ = true;
            return {};
        }
        std::string s(reinterpret_cast<const char*>(data_.data() + at_), length);
        at_ += length;
        return s;
    }

private:
    const std::vector<uint8_t>& data_;
    size_t at_, end_;
    bool failed_ = false;
};

class MemorySource : public RecordingReader::Source {
public:
    explicit MemorySource(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}
    uint64_t Remaining() const override { return bytes_.size() - at_; }
    bool Read(uint8_t* into, size_t n) override
    {
        if (n > bytes_.size() - at_)
            return false;
        if (n > 0)  // an empty block's payload has no storage to copy into
            std::memcpy(into, bytes_.data() + at_, n);
        at_ += n;
        return true;
    }

private:
    const std::vector<uint8_t>& bytes_;
    size_t at_ = 0;
};

class FileSource : public RecordingReader::Source {
public:
    FileSource(std::ifstream& file, uint64_t size) : file_(file), left_(size) {}
    uint64_t Remaining() const override { return left_; }
    bool Read(uint8_t* into, size_t n) override
    {
        if (n > left_ || !file_.read(reinterpret_cast<char*>(into), static_cast<std::streamsize>(n)))
            return false;
        left_ -= n;
        return true;
    }

private:
    std::ifstream& file_;
    uint64_t left_;
};

// A varint straight from the source: false at its end or past 64 bits.
bool ReadVarint(RecordingReader::Source& in, uint64_t& v)
{
    v = 0;
    for (int shift = 0; shift < 64; shift += 7) {
        uint8_t b;
        if (!in.Read(&b, 1) || (shift == 63 && b > 1))
            return false;
        v |= static_cast<uint64_t>(b & 0x7F) << shift;
        if ((b & 0x80) == 0)
            return true;
    }
    return false;
}

// Passes over n bytes without keeping them: false where the source ends first.
bool Skip(RecordingReader::Source& in, uint64_t n)
{
    uint8_t scratch[4096];
    while (n > 0) {
        const size_t step = static_cast<size_t>(std::min<uint64_t>(n, sizeof scratch));
        if (!in.Read(scratch, step))
            return false;
        n -= step;
    }
    return true;
}

}  // namespace

bool RecordingReader::Open(const std::string& path)
{
    Reset();
    namespace fs = std::filesystem;
    std::error_code ec;
    // Asked before the file is opened: a pipe or a device is never read, a folder never taken
    // for an empty file.
    const fs::file_status status = fs::status(path, ec);
    if (ec)
        return Fail("cannot be read: " + ec.message());
    if (fs::is_directory(status))
        return Fail("not a Quorvane recording: it is a folder");
    if (!fs::is_regular_file(status))
        return Fail("not a Quorvane recording: it is not a regular file (a device, a pipe or a socket)");
    const uintmax_t size = fs::file_size(path, ec);
    if (ec)
        return Fail("cannot be read: " + ec.message());
    if (size > LargestRecording)
        return Fail("not a Quorvane recording: " + std::to_string(size) +
                    " bytes, larger than any recording (at most " + std::to_string(LargestRecording) + ")");
    file_.open(path, std::ios::binary);
    if (!file_)
        return Fail(std::string("cannot be read: ") + std::strerror(errno));
    FileSource in(file_, size);
    const bool whole = Check(in);
    if (file_.bad())
        return Fail(std::string("cannot be read: ") + std::strerror(errno));
    return whole;
}

bool RecordingReader::Load(const std::vector<uint8_t>& bytes)
{
    Reset();
    if (bytes.size() > LargestRecording)
        return Fail("not a Quorvane recording: " + std::to_string(bytes.size()) + " bytes, larger than any recording");
    memory_ = bytes;
    MemorySource in(memory_);
    return Check(in);
}

void RecordingReader::Reset()
{
    blocks_.clear();
    memory_.clear();
    if (file_.is_open())
        file_.close();
    file_.clear();
    current_.clear();
    currentIndex_ = SIZE_MAX;
    validBlocks_ = 0;
    error_.clear();
    header_ = RecordingHeader{};
    headerEnd_ = 0;
    closed_ = false;
    endReason_ = 0;
    records_ = 0;
    cursor_ = Cursor{};
    unread_ = Unread{};
}

bool RecordingReader::Fail(const std::string& message)
{
    error_ = message;
    return false;
}

bool RecordingReader::Check(Source& in)
{
    uint8_t magic[sizeof Magic];
    if (in.Remaining() == 0)
        return Fail("not a Quorvane recording: the file is empty");
    if (!in.Read(magic, sizeof magic) || std::memcmp(magic, Magic, sizeof Magic) != 0)
        return Fail("not a Quorvane recording: it does not begin with the recording's signature");
    uint64_t version = 0;
    if (!ReadVarint(in, version))
        return Fail("truncated: the file ends inside its format version");
    if (version != FormatVersion)
        return Fail("a recording of format version " + std::to_string(version) + "; this replay reads version " +
                    std::to_string(FormatVersion));

    // Block by block: framing, checksum, then every record, before the next block is read.
    uint64_t at = sizeof Magic + 1;
    std::string fault;
    Cursor c;
    Record r;
    // The fault's block: how far its framing read (from 0, its tag, to 3, its whole frame, which
    // then lies behind the source's position).
    int faultFramed = 0;
    while (in.Remaining() > 0) {
        unread_.bytes = in.Remaining();
        faultFramed = 0;
        const size_t n = blocks_.size();
        const std::string where = "block " + std::to_string(n) + " at byte " + std::to_string(at);
        uint8_t tag = 0;
        in.Read(&tag, 1);
        if (tag != BlockTag) {
            fault = "damaged: " + where + " does not begin as a block";
            break;
        }
        const uint64_t lengthAt = in.Remaining();
        uint64_t length = 0;
        if (!ReadVarint(in, length)) {
            fault = in.Remaining() == 0 ? "truncated: the file ends inside the length of block " + std::to_string(n)
                                        : "damaged: " + where + " has a length of more than 64 bits";
            break;
        }
        faultFramed = 1;
        if (length > MaxBlockPayload) {
            faultFramed = 0;
            fault = "damaged: " + where + " claims " + std::to_string(length) + " bytes";
            break;
        }
        // The payload and its 4-byte checksum must both be there.
        if (in.Remaining() < length + 4) {
            fault = "truncated: the file ends inside block " + std::to_string(n) + " (byte " + std::to_string(at) +
                    ", " + std::to_string(length + 4 - in.Remaining()) + " bytes short)";
            break;
        }
        faultFramed = 2;
        Block payload(static_cast<size_t>(length));
        uint8_t crc[4];
        if (!in.Read(payload.data(), payload.size()) || !in.Read(crc, sizeof crc)) {
            fault = "cannot be read: the file ends sooner than its size said";
            break;
        }
        const uint64_t payloadAt = at + 1 + (lengthAt - in.Remaining()) - payload.size() - sizeof crc;
        at += 1 + (lengthAt - in.Remaining());
        faultFramed = 3;
        const uint32_t expected = static_cast<uint32_t>(crc[0]) | static_cast<uint32_t>(crc[1]) << 8 |
                                  static_cast<uint32_t>(crc[2]) << 16 | static_cast<uint32_t>(crc[3]) << 24;
        if (Crc32(payload.data(), payload.size()) != expected) {
            fault = "damaged: " + where + " fails its checksum";
            break;
        }

        // Its records. The first of the first block is the header.
        std::string why;
        c.block = n;
        c.at = 0;
        if (n == 0) {
            if (!DecodeHeader(payload, why)) {
                fault = "damaged: block 0 has " + why;
                break;
            }
            c.at = headerEnd_;
        }
        while (why.empty() && c.at < payload.size()) {
            if (closed_) {
                why = "records after the closing record";
                break;
            }
            if (!Decode(c, payload, r, why))
                break;
            ++records_;
            if (r.tag == EndTag) {
                closed_ = true;
                endReason_ = r.endReason;
            }
        }
        if (!why.empty()) {
            fault = "damaged: block " + std::to_string(n) + " has " + why;
            break;
        }
        blocks_.push_back(Where{payloadAt, static_cast<uint32_t>(payload.size()), expected});
        validBlocks_ = blocks_.size();
    }
    if (fault.empty() && blocks_.empty())
        fault = "empty: the recording ends before its header";
    if (fault.empty())
        unread_ = Unread{};
    else
        CountUnread(in, faultFramed);
    Rewind();
    if (!fault.empty()) {
        // The blocks before the fault stay readable (what a crash mid-write leaves behind).
        closed_ = false;
        endReason_ = 0;
        return Fail(fault);
    }
    return true;
}

// A block that fails its checksum or its records still says how long it is: those after it can
// be counted, as far as their framing reads, without keeping them.
void RecordingReader::CountUnread(Source& in, int faultFramed)
{
    if (faultFramed == 0)
        return;
    ++unread_.blocks;
    if (faultFramed < 3)
        return;  // it was cut short: nothing follows
    while (in.Remaining() > 0) {
        uint8_t tag = 0;
        uint64_t length = 0;
        if (!in.Read(&tag, 1) || tag != BlockTag || !ReadVarint(in, length) || length > MaxBlockPayload)
            return;
        ++unread_.blocks;
        if (in.Remaining() < length + 4 || !Skip(in, length + 4))
            return;
    }
}

RecordingReader::Unread RecordingReader::UnreadAfterFault() const { return unread_; }

bool RecordingReader::DecodeHeader(const Block& block, std::string& why)
{
    Bytes b(block, 0, block.size());
    if (b.Byte() != HeaderTag) {
        why = "no header as its first record";
        return false;
    }
    header_.formatVersion = b.Varint32();
    const uint64_t versionLength = b.Varint();
    if (versionLength > MaxHeaderTextBytes) {
        why = "a header whose plug-in version is " + std::to_string(versionLength) + " bytes long";
        return false;
    }
    header_.pluginVersion = b.Text(static_cast<size_t>(versionLength));
    const uint64_t count = b.Varint();
    if (count > MaxSettings) {
        why = "a header of " + std::to_string(count) + " settings";
        return false;
    }
    for (uint64_t k = 0; k < count && !b.Failed(); ++k) {
        const uint64_t keyLength = b.Varint();
        if (keyLength > MaxHeaderTextBytes) {
            why = "a header with a setting's name " + std::to_string(keyLength) + " bytes long";
            return false;
        }
        std::string key = b.Text(static_cast<size_t>(keyLength));
        header_.settings.emplace_back(std::move(key), b.Varint32());
    }
    if (b.Failed()) {
        why = "a header cut short";
        return false;
    }
    if (header_.formatVersion != FormatVersion) {
        why = "a header of format version " + std::to_string(header_.formatVersion);
        return false;
    }
    headerEnd_ = b.At();
    return true;
}

void RecordingReader::Rewind()
{
    cursor_ = Cursor{};
    cursor_.at = headerEnd_;  // past the header, which is known to decode
}

bool RecordingReader::Next(Record& record)
{
    while (cursor_.block < validBlocks_) {
        if (!Fetch(cursor_.block))
            return false;
        if (cursor_.at < current_.size()) {
            std::string why;
            if (Decode(cursor_, current_, record, why))
                return true;
            validBlocks_ = cursor_.block;
            return Fail("damaged: block " + std::to_string(cursor_.block) + " has changed since it was read: " + why);
        }
        ++cursor_.block;
        cursor_.at = 0;
    }
    return false;
}

bool RecordingReader::Fetch(size_t index)
{
    if (index == currentIndex_)
        return true;
    const Where& w = blocks_[index];
    current_.resize(w.length);
    bool read = true;
    if (file_.is_open()) {
        file_.clear();
        read = static_cast<bool>(
            file_.seekg(static_cast<std::streamoff>(w.offset))
                .read(reinterpret_cast<char*>(current_.data()), static_cast<std::streamsize>(w.length)));
    } else if (w.offset + w.length <= memory_.size()) {
        std::copy(memory_.begin() + static_cast<std::ptrdiff_t>(w.offset),
                  memory_.begin() + static_cast<std::ptrdiff_t>(w.offset + w.length), current_.begin());
    } else {
        read = false;
    }
    if (!read || Crc32(current_.data(), current_.size()) != w.crc) {
        // The file was changed or cut while it was replayed: what is left is not the recording.
        validBlocks_ = index;
        currentIndex_ = SIZE_MAX;
        return Fail("damaged: block " + std::to_string(index) + " no longer reads as it did when the file was checked");
    }
    currentIndex_ = index;
    return true;
}

bool RecordingReader::Decode(Cursor& c, const Block& block, Record& r, std::string& why) const
{
    Bytes b(block, c.at, block.size());
    const uint8_t tag = b.Byte();
    r.tag = static_cast<Tag>(tag);
    switch (tag) {
    case CallTag: {
        RecordedCall& call = r.call;
        const uint64_t code = b.Varint();
        if (code == InlineCode || code == DefineCode) {
            call.hash = b.Fixed64();
            if (code == DefineCode) {
                if (c.hashes.size() == MaxHashNumbers) {
                    why = "more hash numbers than the " + std::to_string(MaxHashNumbers) + " a recording defines";
                    return false;
                }
                c.hashes.push_back(call.hash);
            }
        } else if (code - FirstReference < c.hashes.size()) {
            call.hash = c.hashes[static_cast<size_t>(code - FirstReference)];
        } else {
            why = "a call to a hash number that was never defined";
            return false;
        }
        const uint64_t argc = b.Varint();
        if (argc > static_cast<uint64_t>(MaxArgs)) {
            why = "a call with " + std::to_string(argc) + " arguments";
            return false;
        }
        call.args.resize(static_cast<size_t>(argc));
        for (RecordedArg& a : call.args) {
            a = RecordedArg{};
            const uint8_t kind = b.Byte();
            a.kind = static_cast<ArgKind>(kind);
            switch (kind) {
            case IntArg:
            case OutArg:
            case WidenedArg: a.value = UnZigZag(b.Varint32()); break;
            case FloatArg: a.bits = b.Fixed32(); break;
            case OpaqueArg: a.bits = b.Fixed64(); break;
            case TextArg: {
                const uint64_t textCode = b.Varint();
                if (textCode == InlineCode || textCode == DefineCode) {
                    const uint64_t length = b.Varint();
                    if (length > MaxTextBytes) {
                        why = "a text of " + std::to_string(length) + " bytes";
                        return false;
                    }
                    a.text = b.Text(static_cast<size_t>(length));
                    if (textCode == DefineCode && !b.Failed()) {
                        if (c.texts.size() == MaxTextNumbers) {
                            why =
                                "more text numbers than the " + std::to_string(MaxTextNumbers) + " a recording defines";
                            return false;
                        }
                        c.texts.push_back(a.text);
                    }
                } else if (textCode - FirstReference < c.texts.size()) {
                    a.text = c.texts[static_cast<size_t>(textCode - FirstReference)];
                } else {
                    why = "a text number that was never defined";
                    return false;
                }
                break;
            }
            default: why = "an argument of unknown kind " + std::to_string(kind); return false;
            }
        }
        const uint8_t result = b.Byte();
        call.result = static_cast<ResultKind>(result);
        switch (result) {
        case NoResult: break;
        case IntResult: call.intResult = UnZigZag(b.Varint32()); break;
        case FloatResult: call.bits = b.Fixed32(); break;
        case OpaqueResult: call.bits = b.Fixed64(); break;
        case VectorResult:
            for (float& f : call.vector) {
                const uint32_t bits = b.Fixed32();
                std::memcpy(&f, &bits, sizeof f);
            }
            break;
        default: why = "a result of unknown kind " + std::to_string(result); return false;
        }
        for (RecordedArg& a : call.args) {
            if (a.kind == OutArg)
                a.after = UnZigZag(b.Varint32());
        }
        break;
    }
    case WaitTag: r.waitMs = b.Varint32(); break;
    case TickTag:
        c.lastTick += static_cast<uint32_t>(UnZigZag(b.Varint32()));
        r.tick = c.lastTick;
        break;
    case KeyTag:
        r.key = b.Varint32();
        r.word = b.Varint();
        break;
    case PedsTag: {
        const uint32_t capacity = b.Varint32();
        r.pedsCount = UnZigZag(b.Varint32());
        const uint64_t filled = b.Varint();
        if (capacity > 0x7FFFFFFF || filled > capacity || filled > MaxPeds) {
            why = "a character list of " + std::to_string(filled) + " in " + std::to_string(capacity);
            return false;
        }
        r.pedsCapacity = static_cast<int32_t>(capacity);
        r.peds.resize(static_cast<size_t>(filled));
        for (int32_t& h : r.peds)
            h = UnZigZag(b.Varint32());
        break;
    }
    case EndTag: r.endReason = b.Varint32(); break;
    default: why = "a record of unknown kind " + std::to_string(tag); return false;
    }
    if (b.Failed()) {
        why = "a record cut short";
        return false;
    }
    c.at = b.At();
    return true;
}
