#pragma once

#include <filesystem>

namespace cds {

// The folder of the running program's file, links resolved; the current folder when the
// system cannot tell.
std::filesystem::path pastaDoExecutavel();

// The user's folder for programs' settings: $XDG_CONFIG_HOME, or ~/.config when that is unset,
// empty or not an absolute path; %APPDATA% on Windows. Empty when the environment names none.
std::filesystem::path pastaDeConfiguracaoDoUsuario();

// The user's folder for programs' caches: $XDG_CACHE_HOME, or ~/.cache when that is unset,
// empty or not an absolute path; %LOCALAPPDATA% on Windows. Empty when the environment names
// none.
std::filesystem::path pastaDeCacheDoUsuario();

}  // namespace cds
