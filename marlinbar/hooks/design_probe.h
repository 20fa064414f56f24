// The run-mode query of a host development environment. When such an
// environment hosts the library (the control on a form being designed or
// debugged), its runtime module exports EbMode: 0 design mode, 1 run mode,
// 2 break mode. While the environment sits at a breakpoint, messages must
// not reach sinks whose code cannot run.
#pragma once

namespace marlinbar {

using EbModeProc = int(__stdcall*)();

constexpr int kEbDesignMode = 0;
constexpr int kEbBreakMode = 2;

// The query of the first environment runtime loaded in this process, or
// nullptr when none is.
EbModeProc FindDesignEnvironmentProbe();

}  // namespace marlinbar
