#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "source/conexao.hpp"

namespace cds::teste {

// A fresh database made from db/schema.sql, in a folder of its own that goes away with it.
//
// The schema is run once per test process into a template, which every BancoTeste copies.
// When EXPORTADOR_TESTE_SERVIDOR names a host (a Firebird server on 127.0.0.1, say),
// `caminho()` reaches the copy through that server over TCP; otherwise it is a plain path,
// opened by the embedded engine.
class BancoTeste {
  public:
    BancoTeste();
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
    // Runs a script of statements separated by ";" at line ends, such as db/demo.sql.
    void executaScript(const std::filesystem::path& script);

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

// Runs isql-fb on a script, with the CREATE DATABASE line in front; raises on failure.
void criaBanco(const std::filesystem::path& arquivo, const std::filesystem::path& script);

}  // namespace cds::teste
