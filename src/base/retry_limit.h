#pragma once

namespace posflash {

// The most further attempts a unit may be given, wherever they are chosen: the command line,
// the production window's start panel and a line recipe. A unit that fails this often has a
// fault a further try does not mend, and keeps its fixture from the next unit.
inline constexpr int kMostRetries = 10;

} // namespace posflash
