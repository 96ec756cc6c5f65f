// Start-up: the single-instance check and the first screen (stage "0" or "9").
#pragma once

namespace corvane {

struct App;

inline constexpr const char* kUnwantedInstanceTitle = "unwanted instance";

// Prepares and shows the first screen, or ends a second copy after raising the first.
void Main(App& app);
// Raises the running copy's window and ends this program, or returns when it is not found.
void RaisePreviousInstance(App& app);

}  // namespace corvane
