// The second-start rule: a program that finds another instance hands it the change command
// and ends; it never runs twice.
#pragma once

namespace nv::app {

enum class GuardStep {
  Run,               // first instance: go on with start-up
  AskRunning,        // send the running instance the change command, then end
  SearchTitleLater,  // wait 500 ms, look for the running instance by its title
};

// mutexExisted: the single-instance mutex was already there; windowFound: a window of the
// program's class exists.
constexpr GuardStep FirstGuardStep(bool mutexExisted, bool windowFound) noexcept {
  if (windowFound) return GuardStep::AskRunning;
  return mutexExisted ? GuardStep::SearchTitleLater : GuardStep::Run;
}

inline constexpr unsigned kTitleSearchDelayMs = 500;
inline constexpr const char* kInstanceMutexName = "Netvane-H.SingleInstance";

}  // namespace nv::app
