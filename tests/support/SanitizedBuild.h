// Whether the tests run under the address and undefined-behaviour
// sanitizers, which make the long randomised and exhaustive tests many
// times slower: those run a smaller share of their cases there.
#pragma once

#ifdef KELVARA_SANITIZE
inline constexpr bool kSanitizedBuild = true;
#else
inline constexpr bool kSanitizedBuild = false;
#endif
