#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

namespace cds {

// The folder of the running program's file, links resolved; the current folder when the
// system cannot tell.
std::filesystem::path pastaDoExecutavel();

// The user's folder for programs' settings: $XDG_CONFIG_HOME, or ~/.config when that is unset,
// empty or not an absolute path; %APPDATA% on Windows. Empty when the environment names none.
std::filesystem::path pastaDeConfiguracaoDoUsuario();

// The system's folder for programs' settings, shared by its users: /etc; none (empty) on
// Windows, where a program keeps them beside itself.
std::filesystem::path pastaDeConfiguracaoDoSistema();

// The user's folder for programs' caches: $XDG_CACHE_HOME, or ~/.cache when that is unset,
// empty or not an absolute path; %LOCALAPPDATA% on Windows. Empty when the environment names
// none.
std::filesystem::path pastaDeCacheDoUsuario();

// The user's folder for programs' data: $XDG_DATA_HOME, or ~/.local/share when that is unset,
// empty or not an absolute path; %LOCALAPPDATA% on Windows. Empty when the environment names
// none.
std::filesystem::path pastaDeDadosDoUsuario();

// Creates `pasta` and the folders above it that are missing, each its owner's alone (0700,
// whatever the umask), since they hold citizens' health records; a folder already there keeps
// its own modes. On Windows a new folder takes the access rules of the one above it, as the
// user's own folders there are the user's alone.
std::error_code criaPastasPrivadas(const std::filesystem::path& pasta);

// Who besides the user the program runs as may change what a folder holds.
struct AcessoDaPasta {
    // The folder's owner is another user.
    bool deOutroUsuario = false;
    // Its group or everyone may create, remove and rename names in it, and it has no sticky
    // bit (as /tmp has) that would keep them to their own files.
    bool abertaAOutros = false;
    // For the message: the owner and the user the program runs as (by name, or by number when
    // the system has no name for them), and the folder's permission bits in octal.
    std::string dono;
    std::string usuario;
    std::string permissoes;
};
// The folder at `pasta`, links followed. Nothing, with `erro` set, when there is none
// (std::errc::no_such_file_or_directory) or it cannot be read. Windows decides who may write in
// a folder by its access-control list, not by an owner and permission bits, and the folders a
// user makes under the profile are that user's alone: there every folder comes back as the
// user's own and closed to others.
std::optional<AcessoDaPasta> acessoDaPasta(const std::filesystem::path& pasta,
                                           std::error_code& erro);

}  // namespace cds
