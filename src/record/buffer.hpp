#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "comum/plataforma_arquivos.hpp"

namespace cds {

// One record file being built: ordered lines, one XML fragment each, empty lines allowed.
// Lines are kept already joined with CRLF, the form the file takes, so saving is one write.
class RegistroBuffer {
  public:
    void limpa() { conteudo.clear(); }
    void adiciona(std::string_view linha);
    void adicionaVazia() { conteudo += "\r\n"; }
    // "<tag>" + the value escaped for XML + "</tag>".
    void adicionaElemento(std::string_view tag, std::string_view valor);
    // An element the layout types as a whole number: left out when the value is empty or
    // blanks only, since the importer discards a whole record for one empty number.
    void adicionaNumero(std::string_view tag, std::string_view valor);

    // The file's text: UTF-8, every line ended by CRLF, the last one too.
    const std::string& texto() const { return conteudo; }

    // Writes the file whole at `caminho` (UTF-8 path), replacing any file of that name. The text
    // goes to a new, hidden sibling first (criaArquivoAoLado: its owner's alone, never through
    // a link) and is renamed over the target, so a failed save never leaves half a record
    // behind. Gives the state of the file saved, as the system had it right after the save
    // (none where it would not say). Raises ErroArquivo naming the path and the system's
    // reason when it cannot be written, or saying so when a symbolic link stands at `caminho`
    // (the link and what it leads to are left alone); and ErroConversao, writing nothing, when
    // the text is not valid UTF-8.
    std::optional<EstadoArquivo> salva(const std::string& caminho) const;

  private:
    std::string conteudo;
};

// A record file's whole `texto` saved at `caminho`, as RegistroBuffer::salva says.
std::optional<EstadoArquivo> salvaRegistro(const std::string& caminho, const std::string& texto);

}  // namespace cds
