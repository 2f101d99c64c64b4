// host/recorder.h -- the session recording: with RECORD_SESSION=1 the plug-in writes every input
// its script takes from the game to .\Quorvane.rec, so that the simulator can replay the session
// call for call. Off, nothing here runs but the test of SessionRecording. The format is in
// docs/recording.md. Everything is written from the script fibre; the key handler on another
// thread never touches the recording (key events are recorded when the script reads them).
#pragma once

#include <cstdint>

// True while a recording is being written; every record call below does nothing otherwise.
extern bool SessionRecording;

// What the settings file gave, for the recording's header.
struct RecordedSettings {
    uint32_t maxTrainSpeed;
    uint32_t menuUpKey;
    uint32_t menuDownKey;
    uint32_t recordSession;
};

constexpr const char* RecordingPath = ".\\Quorvane.rec";
constexpr const char* PreviousRecordingPath = ".\\Quorvane.old.rec";
// A recording ends, with a closing record, before it would grow past the cap (256 MiB unless a
// test lowers it); the plug-in goes on.
constexpr uint64_t DefaultRecordingSizeCap = uint64_t{256} << 20;
extern uint64_t RecordingSizeCap;

// Opens the file (an existing one is kept as Quorvane.old.rec) and writes the header. An earlier
// recording that cannot be moved aside, or a file that cannot be made, leaves the recording off
// and the earlier file as it was.
void StartSessionRecording(const RecordedSettings& settings);
// Writes what is buffered, the closing record, and closes the file.
void StopSessionRecording();

// One native call: what was pushed, and what the plug-in read back.
struct ArgNote {
    uint8_t kind;        // recording::ArgKind
    uint64_t value;      // the 32-bit value, float bits or opaque value; an address's value before
    const char* text;    // a text argument
    const int32_t* out;  // an address argument, read again after the call
};
struct ResultNote {
    uint8_t kind;       // recording::ResultKind
    uint64_t value[3];  // a 32-bit value or float bits, an opaque value, or a vector's x, y, z bits
};
// Called after the call returns and its result is read; the argument notes were taken before it.
void RecordCall(uint64_t hash, const ArgNote* args, int count, const ResultNote& result);

void RecordWait(uint32_t milliseconds);
void RecordTick(uint32_t tick);
void RecordKeyWord(uint32_t key, uint64_t word);
void RecordPeds(int32_t capacity, int32_t count, const int32_t* handles);
