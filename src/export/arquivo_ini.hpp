#pragma once

#include <filesystem>
#include <memory>
#include <string>

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

// Default of GERAL/CAMINHOXML: "C:\temp" on Windows, the system's temporary folder elsewhere,
// without a trailing separator since paths are built by appending one.
std::string caminhoXmlPadrao();

// The settings file, with the manners of a Windows profile file: section and key names match
// without regard to case, values are kept verbatim (backslashes included), a missing file or
// key reads as the default, the first write creates the file and a write keeps the rest of it.
//
// Every call goes to the file, since the operator may edit it by hand while the program runs;
// the file is parsed again only when its size or modification time changed.
class ArquivoIni {
  public:
    explicit ArquivoIni(std::filesystem::path arquivo);
    ~ArquivoIni();
    ArquivoIni(const ArquivoIni&) = delete;
    ArquivoIni& operator=(const ArquivoIni&) = delete;

    // Never fails: a file that cannot be read reads as missing.
    std::string le(const std::string& secao, const std::string& chave,
                   const std::string& padrao) const;
    // Throws ErroArquivo when the file cannot be written, or exists but cannot be read (a
    // write then would lose its other settings).
    void grava(const std::string& secao, const std::string& chave, const std::string& valor);

    const std::filesystem::path& arquivo() const { return caminho; }

  private:
    struct Estado;
    std::filesystem::path caminho;
    std::unique_ptr<Estado> estado;
};

}  // namespace cds
