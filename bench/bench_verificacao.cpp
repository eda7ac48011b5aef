// The importer's rules over written records: how fast verificaRegistro reads them.
//
//   bench_verificacao [MB]
//
// Reads the tests' expected records (tests/dados), checks them over and over until MB megabytes
// (200 by default) have been read, and prints MB/s and the time the benchmark's month (870 MB
// of records) would take. Asserts nothing.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "record/verificacao.hpp"

namespace {

struct Registro {
    cds::TipoFicha tipo;
    std::string texto;
};

std::string le(const std::filesystem::path& caminho) {
    std::ifstream arquivo(caminho, std::ios::binary);
    std::ostringstream texto;
    texto << arquivo.rdbuf();
    return texto.str();
}

}  // namespace

int main(int argc, char** argv) {
    const double megas = argc > 1 ? std::atof(argv[1]) : 200.0;
    const struct {
        const char* prefixo;
        cds::TipoFicha tipo;
    } kinds[] = {
        {"FichaCadastroIndividual_", cds::TipoFicha::CadastroIndividual},
        {"FichaCadastroDomiciliar_", cds::TipoFicha::CadastroDomiciliar},
        {"FichaAtendimentoIndividual_", cds::TipoFicha::AtendimentoIndividual},
        {"FichaProcedimento_", cds::TipoFicha::Procedimento},
        {"FichaAtendimentoOdontologico_", cds::TipoFicha::AtendimentoOdontologico},
        {"FichaVisitaDomiciliar_", cds::TipoFicha::VisitaDomiciliar},
        {"FichaAtivColetiva_", cds::TipoFicha::AtividadeColetiva},
        {"FichaVacinacao_", cds::TipoFicha::Vacinacao},
    };
    std::vector<Registro> registros;
    std::size_t bytesPorVolta = 0;
    for (const auto& entrada : std::filesystem::directory_iterator(DADOS_TESTE_DIR)) {
        const std::string nome = entrada.path().filename().string();
        for (const auto& k : kinds)
            if (nome.starts_with(k.prefixo)) {
                registros.push_back({k.tipo, le(entrada.path())});
                bytesPorVolta += registros.back().texto.size();
            }
    }
    if (registros.empty()) {
        std::fprintf(stderr, "nenhum registro em %s\n", DADOS_TESTE_DIR);
        return 1;
    }
    const auto voltas =
        static_cast<std::size_t>(megas * 1e6 / static_cast<double>(bytesPorVolta)) + 1;
    std::size_t falhas = 0;
    const auto inicio = std::chrono::steady_clock::now();
    for (std::size_t v = 0; v < voltas; ++v)
        for (const auto& r : registros) falhas += cds::verificaRegistro(r.tipo, r.texto).size();
    const std::chrono::duration<double> tempo = std::chrono::steady_clock::now() - inicio;
    const double lidos = static_cast<double>(voltas * bytesPorVolta) / 1e6;
    std::printf("%zu registros, %.1f MB em %.3f s: %.0f MB/s, %.0f ns por registro\n",
                voltas * registros.size(), lidos, tempo.count(), lidos / tempo.count(),
                tempo.count() * 1e9 / static_cast<double>(voltas * registros.size()));
    std::printf("870 MB do mês do benchmark: %.2f s (%zu falhas achadas)\n",
                870.0 / (lidos / tempo.count()), falhas);
    return 0;
}
