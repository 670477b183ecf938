#pragma once
// The harmless in-process server the command target runs commands against:
// the tests' recording server ("Fuzz.Recorder", moniker "FUZZ:") without the
// one thing a fuzzer could turn into a false finding, a "Keep" write (two
// recorders keeping each other form a reference cycle that is the test
// server's, not the engine's). Its invoke log is emptied after every input.

namespace orvane::fuzz
{

/// Registers "Fuzz.Recorder" and "FUZZ:" with the class registry. Idempotent.
void registerFuzzRecorder();
/// Forgets the recorded invokes, so that memory stays flat over a long run.
void clearRecorderLog();

} // namespace orvane::fuzz
