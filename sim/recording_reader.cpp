// sim/recording_reader.cpp -- the .rec reader: framing and checksums first, then every record
// decoded once to prove it sound, then decoded again on demand for the replay. Every length and
// number read from the file is bounded before it is used.
#include "sim/recording_reader.h"

#include <cstring>
#include <fstream>
#include <iterator>

using namespace recording;

namespace {

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

} // namespace

bool RecordingReader::Open(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return Fail("cannot read " + path);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad())
        return Fail("cannot read " + path);
    return Load(std::move(bytes));
}

bool RecordingReader::Load(std::vector<uint8_t> bytes)
{
    bytes_ = std::move(bytes);
    blocks_.clear();
    validBlocks_ = 0;
    error_.clear();
    header_ = RecordingHeader{};
    closed_ = false;
    records_ = 0;
    return Check();
}

bool RecordingReader::Fail(const std::string& message)
{
    error_ = message;
    return false;
}

RecordingReader::Unread RecordingReader::UnreadAfterFault() const
{
    if (blocks_.empty() && validBlocks_ == 0 && bytes_.empty())
        return {};
    // The first unreplayed byte: the frame of the first block after the sound ones.
    size_t at = validBlocks_ > 0 ? blocks_[validBlocks_ - 1].end + 4 : 0;
    if (validBlocks_ == 0) {
        Bytes head(bytes_, sizeof Magic, bytes_.size());
        head.Varint();
        at = head.Failed() ? bytes_.size() : head.At();
    }
    Unread unread;
    unread.bytes = at < bytes_.size() ? bytes_.size() - at : 0;
    // A block that fails its checksum still says how long it is: those after it can be counted.
    while (at < bytes_.size()) {
        Bytes b(bytes_, at, bytes_.size());
        const bool block = b.Byte() == BlockTag;
        const uint64_t length = b.Varint();
        if (!block || b.Failed() || length > MaxBlockPayload)
            break;
        ++unread.blocks;
        if (bytes_.size() - b.At() < length + 4)
            break;
        at = b.At() + static_cast<size_t>(length) + 4;
    }
    return unread;
}

bool RecordingReader::Check()
{
    if (bytes_.size() < sizeof Magic || std::memcmp(bytes_.data(), Magic, sizeof Magic) != 0)
        return Fail("not a Quorvane recording: it does not begin with the recording's signature");
    Bytes head(bytes_, sizeof Magic, bytes_.size());
    const uint64_t version = head.Varint();
    if (head.Failed())
        return Fail("truncated: the file ends inside its format version");
    if (version != FormatVersion)
        return Fail("a recording of format version " + std::to_string(version) + "; this replay reads version " +
                    std::to_string(FormatVersion));

    // Framing and checksums.
    size_t at = head.At();
    std::string fault;
    while (at < bytes_.size()) {
        const size_t n = blocks_.size();
        Bytes b(bytes_, at, bytes_.size());
        if (b.Byte() != BlockTag) {
            fault = "damaged: block " + std::to_string(n) + " at byte " + std::to_string(at) + " does not begin as a block";
            break;
        }
        const uint64_t length = b.Varint();
        if (b.Failed()) {
            fault = "truncated: the file ends inside the length of block " + std::to_string(n);
            break;
        }
        if (length > MaxBlockPayload) {
            fault = "damaged: block " + std::to_string(n) + " at byte " + std::to_string(at) + " claims " +
                    std::to_string(length) + " bytes";
            break;
        }
        const size_t begin = b.At();
        if (bytes_.size() - begin < length + 4) {
            fault = "truncated: the file ends inside block " + std::to_string(n) + " (byte " + std::to_string(at) +
                    ", " + std::to_string(length + 4 - (bytes_.size() - begin)) + " bytes short)";
            break;
        }
        const size_t end = begin + static_cast<size_t>(length);
        Bytes crc(bytes_, end, end + 4);
        if (Crc32(bytes_.data() + begin, end - begin) != crc.Fixed32()) {
            fault = "damaged: block " + std::to_string(n) + " at byte " + std::to_string(at) + " fails its checksum";
            break;
        }
        blocks_.push_back(Block{begin, end});
        at = end + 4;
    }

    // Every record, decoded once. The first is the header.
    Cursor c;
    Record r;
    std::string why;
    for (size_t i = 0; i < blocks_.size(); ++i) {
        c.block = i;
        c.at = blocks_[i].begin;
        while (c.at < blocks_[i].end) {
            if (i == 0 && c.at == blocks_[0].begin) {
                Bytes b(bytes_, c.at, blocks_[0].end);
                if (b.Byte() != HeaderTag) {
                    why = "the first record is not the header";
                    break;
                }
                header_.formatVersion = b.Varint32();
                header_.pluginVersion = b.Text(std::min<uint64_t>(b.Varint(), 256));
                const uint64_t count = b.Varint();
                for (uint64_t k = 0; k < count && k < 64 && !b.Failed(); ++k) {
                    std::string key = b.Text(std::min<uint64_t>(b.Varint(), 256));
                    header_.settings.emplace_back(std::move(key), b.Varint32());
                }
                if (b.Failed() || count > 64 || header_.formatVersion != FormatVersion) {
                    why = "a bad header";
                    break;
                }
                c.at = b.At();
                continue;
            }
            if (closed_) {
                why = "records after the closing record";
                break;
            }
            if (!Decode(c, blocks_[i], r, why))
                break;
            ++records_;
            closed_ = r.tag == EndTag;
        }
        if (!why.empty()) {
            fault = "damaged: block " + std::to_string(i) + " has " + why;
            validBlocks_ = i;
            break;
        }
        validBlocks_ = i + 1;
    }
    if (fault.empty() && (blocks_.empty() || header_.formatVersion == 0)) {
        fault = "empty: the recording ends before its header";
        validBlocks_ = 0;
    }
    Rewind();
    if (!fault.empty()) {
        // The blocks before the fault stay readable (what a crash mid-write leaves behind).
        if (validBlocks_ > blocks_.size())
            validBlocks_ = blocks_.size();
        return Fail(fault);
    }
    return true;
}

void RecordingReader::Rewind()
{
    cursor_ = Cursor{};
    if (validBlocks_ == 0)
        return;
    // Past the header, which is known to decode.
    Bytes b(bytes_, blocks_[0].begin, blocks_[0].end);
    b.Byte();
    b.Varint();
    b.Text(std::min<uint64_t>(b.Varint(), 256));
    const uint64_t count = b.Varint();
    for (uint64_t k = 0; k < count && k < 64; ++k) {
        b.Text(std::min<uint64_t>(b.Varint(), 256));
        b.Varint();
    }
    cursor_.at = b.At();
}

bool RecordingReader::Next(Record& record)
{
    while (cursor_.block < validBlocks_) {
        const Block& block = blocks_[cursor_.block];
        if (cursor_.at < block.end) {
            std::string why;
            return Decode(cursor_, block, record, why);
        }
        ++cursor_.block;
        if (cursor_.block < validBlocks_)
            cursor_.at = blocks_[cursor_.block].begin;
    }
    return false;
}

bool RecordingReader::Decode(Cursor& c, const Block& block, Record& r, std::string& why) const
{
    Bytes b(bytes_, c.at, block.end);
    const uint8_t tag = b.Byte();
    r.tag = static_cast<Tag>(tag);
    switch (tag) {
    case CallTag: {
        RecordedCall& call = r.call;
        const uint64_t code = b.Varint();
        if (code == InlineCode || code == DefineCode) {
            call.hash = b.Fixed64();
            if (code == DefineCode)
                c.hashes.push_back(call.hash);
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
            case WidenedArg:
                a.value = UnZigZag(b.Varint32());
                break;
            case FloatArg:
                a.bits = b.Fixed32();
                break;
            case OpaqueArg:
                a.bits = b.Fixed64();
                break;
            case TextArg: {
                const uint64_t textCode = b.Varint();
                if (textCode == InlineCode || textCode == DefineCode) {
                    const uint64_t length = b.Varint();
                    if (length > MaxTextBytes) {
                        why = "a text of " + std::to_string(length) + " bytes";
                        return false;
                    }
                    a.text = b.Text(static_cast<size_t>(length));
                    if (textCode == DefineCode && !b.Failed())
                        c.texts.push_back(a.text);
                } else if (textCode - FirstReference < c.texts.size()) {
                    a.text = c.texts[static_cast<size_t>(textCode - FirstReference)];
                } else {
                    why = "a text number that was never defined";
                    return false;
                }
                break;
            }
            default:
                why = "an argument of unknown kind " + std::to_string(kind);
                return false;
            }
        }
        const uint8_t result = b.Byte();
        call.result = static_cast<ResultKind>(result);
        switch (result) {
        case NoResult:
            break;
        case IntResult:
            call.intResult = UnZigZag(b.Varint32());
            break;
        case FloatResult:
            call.bits = b.Fixed32();
            break;
        case OpaqueResult:
            call.bits = b.Fixed64();
            break;
        case VectorResult:
            for (float& f : call.vector) {
                const uint32_t bits = b.Fixed32();
                std::memcpy(&f, &bits, sizeof f);
            }
            break;
        default:
            why = "a result of unknown kind " + std::to_string(result);
            return false;
        }
        for (RecordedArg& a : call.args) {
            if (a.kind == OutArg)
                a.after = UnZigZag(b.Varint32());
        }
        break;
    }
    case WaitTag:
        r.waitMs = b.Varint32();
        break;
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
        if (capacity > 0x7FFFFFFF || filled > capacity || filled > 4096) {
            why = "a character list of " + std::to_string(filled) + " in " + std::to_string(capacity);
            return false;
        }
        r.pedsCapacity = static_cast<int32_t>(capacity);
        r.peds.resize(static_cast<size_t>(filled));
        for (int32_t& h : r.peds)
            h = UnZigZag(b.Varint32());
        break;
    }
    case EndTag:
        r.endReason = b.Varint32();
        break;
    default:
        why = "a record of unknown kind " + std::to_string(tag);
        return false;
    }
    if (b.Failed()) {
        why = "a record cut short";
        return false;
    }
    c.at = b.At();
    return true;
}
