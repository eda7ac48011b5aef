#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "export/local_config.hpp"

namespace cds {

// Names in config.ini, kept here so that the window, the run and the generators agree.
inline constexpr char kNomeArquivoIni[] = "config.ini";
inline constexpr char kSecaoGeral[] = "GERAL";
inline constexpr char kSecaoEsus[] = "ESUS";
inline constexpr char kChaveCaminhoXml[] = "CAMINHOXML";
inline constexpr char kChaveCnesPrincipal[] = "CNESPRINCIPAL";
inline constexpr char kChaveDatabase[] = "DATABASE";
inline constexpr char kChaveIbge[] = "IBGE";
inline constexpr char kChaveProfissionalGenerico[] = "PROFISSIONALGENERICO";
// Seconds the database server has to answer a connection (GERAL); 15 when absent.
inline constexpr char kChaveTempoConexao[] = "TEMPOCONEXAO";

// Default of GERAL/CAMINHOXML: "exportador-cds" in the user's data folder
// ($XDG_DATA_HOME, ~/.local/share; %LOCALAPPDATA% on Windows), without a trailing separator
// since paths are built by appending one. Empty when the environment names no such folder.
std::string caminhoXmlPadrao();

// True when the text holds a byte below 0x20 or DEL: in config.ini a line break would start a
// line of its own (a section, another key), and the other control characters are no text.
bool temCaractereDeControle(std::string_view texto);

// The settings file, with the manners of a Windows profile file: section and key names match
// without regard to case, values are kept verbatim (backslashes included), a missing file or
// key reads as the default, the first write creates the file and a write keeps the rest of it.
//
// Only a file read as settings is ever written: text in lines that are each blank, a comment,
// a [section] or a key=value, no key twice in a section, wholly in UTF-8 or wholly in
// Windows-1252. Anything else (a database named by mistake, a file saved in UTF-16, a line the
// parser would drop, UTF-8 text beside bytes that are not UTF-8) is left as it is, since
// rewriting it would lose what it holds.
//
// Every call goes to the file, since the operator may edit it by hand while the program runs;
// the file is parsed again only when its size or modification time changed.
class ArquivoIni {
  public:
    explicit ArquivoIni(std::filesystem::path arquivo);
    // The file localizaConfig chose, which remembers where it was looked for.
    explicit ArquivoIni(LocalConfig local);
    ~ArquivoIni();
    ArquivoIni(const ArquivoIni&) = delete;
    ArquivoIni& operator=(const ArquivoIni&) = delete;

    // Never fails: a file that cannot be read as settings reads as missing.
    std::string le(const std::string& secao, const std::string& chave,
                   const std::string& padrao) const;
    // Replaces the file whole or not at all (a new file beside it, renamed over it); the
    // system's settings are left as they are, and the file written whole is the user's
    // (LocalConfig::gravarEm), read from then on. Throws
    // ErroArquivo, and writes nothing, when the value holds a line break or another control
    // character, when the file exists but cannot be read as settings, or when it cannot be
    // written.
    void grava(const std::string& secao, const std::string& chave, const std::string& valor);

    // Throws ErroArquivo naming the file and why, when it exists but cannot be read as
    // settings. A missing file passes.
    void verifica() const;
    bool existe() const;

    const std::filesystem::path& arquivo() const { return caminho; }
    // Where the file was looked for, in order, for the message that it is missing.
    const std::vector<std::filesystem::path>& locaisProcurados() const { return procurados; }
    // Where the run's erros.txt goes (LocalConfig::pastaDosErros).
    const std::filesystem::path& pastaDosErros() const { return pastaErros; }

  private:
    struct Estado;
    std::filesystem::path caminho;
    std::vector<std::filesystem::path> procurados;
    std::filesystem::path pastaErros;
    std::filesystem::path gravarEm;
    std::unique_ptr<Estado> estado;
};

}  // namespace cds
