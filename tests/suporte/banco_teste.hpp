#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "source/conexao.hpp"

namespace cds::teste {

// What a fresh test database holds: the clinic's schema alone, or the demo clinic on it.
enum class Conteudo { Esquema, Demonstracao };

// A fresh database made from db/schema.sql (and db/demo.sql), in a folder of its own that
// goes away with it.
//
// The scripts run into a template, which every BancoTeste copies.
// When EXPORTADOR_TESTE_SERVIDOR names a host (a Firebird server on 127.0.0.1, say),
// `caminho()` reaches the copy through that server over TCP; otherwise it is a plain path,
// opened by the embedded engine.
class BancoTeste {
  public:
    explicit BancoTeste(Conteudo conteudo = Conteudo::Esquema);
    ~BancoTeste();
    BancoTeste(const BancoTeste&) = delete;
    BancoTeste& operator=(const BancoTeste&) = delete;

    // What config.ini's GERAL/DATABASE would hold for this database.
    std::string caminho() const;
    const std::filesystem::path& arquivo() const { return arquivoBanco; }
    const std::filesystem::path& pasta() const { return pastaBanco; }

    // Runs one statement (UTF-8 text) and commits it.
    void executa(const std::string& sql);
    // Lets go of the connection `executa` keeps, so that another process can open the file
    // with its own embedded engine.
    void desconecta() { conexao.reset(); }

  private:
    std::filesystem::path pastaBanco;
    std::filesystem::path arquivoBanco;
    std::unique_ptr<Conexao> conexao;
};

// A unique empty folder under the system's temporary folder, removed with the object.
class PastaTemporaria {
  public:
    PastaTemporaria();
    ~PastaTemporaria();
    PastaTemporaria(const PastaTemporaria&) = delete;
    PastaTemporaria& operator=(const PastaTemporaria&) = delete;
    const std::filesystem::path& caminho() const { return pasta; }
    std::filesystem::path operator/(const std::string& nome) const { return pasta / nome; }

  private:
    std::filesystem::path pasta;
};

}  // namespace cds::teste
