// sim/native_call_sim.h -- one native call inside the simulator: typed, checked access to its
// argument slots and the result written back. Private to sim/.
#pragma once

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "sim/sim.h"

inline std::string Hex(uint64_t v)
{
    char buf[24];
    std::snprintf(buf, sizeof buf, "0x%" PRIX64, v);
    return buf;
}

inline std::string FloatText(float f)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.9g", static_cast<double>(f));
    return buf;
}

// One native call in progress: typed access to its argument slots, checked against the slot
// rules, and the result written into the host's result slots.
class NativeCall {
public:
    // With record off (the call log disabled) no readable text is made, so a call costs no
    // allocation in the simulator either.
    NativeCall(Sim& sim, const char* name, const uint64_t* args, int argc, uint64_t* result, bool record)
        : sim_(sim), name_(name), args_(args), argc_(argc), result_(result), record_(record)
    {
        if (record_)
            texts_.resize(static_cast<size_t>(argc));
    }

    int Count() const { return argc_; }
    uint64_t Raw(int i)
    {
        if (!Have(i))
            return 0;
        if (record_ && texts_[i].empty())
            texts_[i] = Hex(args_[i]);
        return args_[i];
    }
    int32_t Int(int i)
    {
        if (!Have(i))
            return 0;
        if ((args_[i] >> 32) != 0)
            Fail("argument " + std::to_string(i) + " has high bits set: " + Hex(args_[i]));
        const auto v = static_cast<int32_t>(static_cast<uint32_t>(args_[i]));
        if (record_)
            texts_[i] = std::to_string(v);
        return v;
    }
    uint32_t Hash(int i)
    {
        const auto v = static_cast<uint32_t>(Int(i));
        if (record_ && i < argc_)
            texts_[i] = Hex(v);
        return v;
    }
    int32_t Widened(int i)
    {
        if (!Have(i))
            return 0;
        const auto v = static_cast<int32_t>(static_cast<uint32_t>(args_[i]));
        if (static_cast<uint64_t>(static_cast<int64_t>(v)) != args_[i])
            Fail("argument " + std::to_string(i) + " is not a sign-widened handle: " + Hex(args_[i]));
        if (record_)
            texts_[i] = std::to_string(v);
        return v;
    }
    float Float(int i)
    {
        if (!Have(i))
            return 0;
        if ((args_[i] >> 32) != 0)
            Fail("float argument " + std::to_string(i) + " has high bits set");
        float f;
        const auto bits = static_cast<uint32_t>(args_[i]);
        std::memcpy(&f, &bits, sizeof f);
        if (record_)
            texts_[i] = FloatText(f);
        return f;
    }
    const char* Text(int i)
    {
        if (!Have(i))
            return "";
        const char* text = reinterpret_cast<const char*>(static_cast<uintptr_t>(args_[i]));
        if (text == nullptr) {
            Fail("text argument " + std::to_string(i) + " is null");
            return "";
        }
        if (record_) {
            texts_[i] = "\"" + std::string(text) + "\"";
            textArgs_.emplace_back(i, text);
        }
        return text;
    }
    int32_t* Address(int i)
    {
        if (!Have(i))
            return nullptr;
        auto* p = reinterpret_cast<int32_t*>(static_cast<uintptr_t>(args_[i]));
        if (p == nullptr)
            Fail("address argument " + std::to_string(i) + " is null");
        if (record_)
            texts_[i] = p ? "&" + std::to_string(*p) : "null";
        return p;
    }

    void ReturnInt(int32_t v)
    {
        std::memcpy(result_, &v, sizeof v);
        if (record_)
            resultText_ = std::to_string(v);
    }
    void ReturnBool(bool v)
    {
        ReturnInt(v ? 1 : 0);
        if (record_)
            resultText_ = v ? "yes" : "no";
    }
    void ReturnFloat(float v)
    {
        std::memcpy(result_, &v, sizeof v);
        if (record_)
            resultText_ = FloatText(v);
    }
    void ReturnOpaque(uint64_t v, const char* what, const char* text)
    {
        result_[0] = v;
        if (record_)
            resultText_ = std::string(what) + " \"" + text + "\"";
    }
    void ReturnVector(Vec3 v)
    {
        std::memset(result_, 0, 24);
        std::memcpy(reinterpret_cast<char*>(result_) + 0, &v.x, 4);
        std::memcpy(reinterpret_cast<char*>(result_) + 8, &v.y, 4);
        std::memcpy(reinterpret_cast<char*>(result_) + 16, &v.z, 4);
        if (record_)
            resultText_ = "(" + FloatText(v.x) + ", " + FloatText(v.y) + ", " + FloatText(v.z) + ")";
    }
    // Something only a fault in the plug-in can cause: fails the test.
    void Fail(const std::string& message) { sim_.Error(std::string(name_) + ": " + message); }
    // A handle or value the game itself handed out and no longer knows: the game shrugs.
    void Complain() { sim_.Complaint(); }

    std::string ArgsText()
    {
        std::string out;
        for (int i = 0; i < argc_ && record_; ++i) {
            if (i > 0)
                out += ", ";
            out += texts_[i].empty() ? Hex(args_[i]) : texts_[i];
        }
        return out;
    }
    const std::string& ResultText() const { return resultText_; }
    std::vector<std::pair<int, std::string>> TakeTextArgs() { return std::move(textArgs_); }

private:
    bool Have(int i)
    {
        if (i < argc_)
            return true;
        Fail("argument " + std::to_string(i) + " is missing");
        return false;
    }

    Sim& sim_;
    const char* name_;
    const uint64_t* args_;
    int argc_;
    uint64_t* result_;
    bool record_;
    std::vector<std::string> texts_;
    std::vector<std::pair<int, std::string>> textArgs_;
    std::string resultText_;
};
