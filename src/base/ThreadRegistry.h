#pragma once

#include <functional>

// Every thread of ours (downloads, track listings, the version check, conversions) starts
// here. The threads are detached; the registry only counts the live ones, so the front ends
// can tell at exit whether anything still runs (and then end the process without tearing
// down what those threads use).
namespace ThreadRegistry {

// Starts body on a new detached thread. The thread counts as live from before this call
// returns until body has returned and everything it captured is destroyed.
void Start(std::function<void()> body);

// Threads started here that have not finished yet.
int LiveCount();

} // namespace ThreadRegistry
