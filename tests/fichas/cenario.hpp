#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "fichas/execucao.hpp"
#include "fichas/registro.hpp"
#include "source/conexao.hpp"
#include "suporte/arquivos_teste.hpp"
#include "suporte/banco_teste.hpp"
#include "suporte/leiaute_teste.hpp"
#include "suporte/ocorrencias_teste.hpp"
#include "suporte/operador_gravador.hpp"
#include "suporte/relogio_fixo.hpp"

namespace cds::teste {

// A generator's world for one test: a fresh database, an output folder, a fixed clock, a
// recording operator, and the run's state once the rows are in.
class CenarioFichas {
  public:
    explicit CenarioFichas(Conteudo conteudo = Conteudo::Esquema) : banco(conteudo) {
        parametros.Unidade = "2345678";
        parametros.Caminho = pasta.caminho().string();
        parametros.UUID = "0";
        parametros.DataInicial = std::chrono::year{2019} / 10 / 1;
        parametros.DataFinal = std::chrono::year{2019} / 10 / 31;
        std::filesystem::create_directory(pastaXml(parametros.Caminho));
    }

    // Every record file the test left is one the layout's official schema accepts, unless the
    // test writes values outside it on purpose.
    ~CenarioFichas() {
        if (foraDoLeiaute) return;
        std::vector<std::filesystem::path> arquivos;
        for (const auto& e : std::filesystem::directory_iterator(pastaXml(parametros.Caminho)))
            if (e.path().extension() == ".xml") arquivos.push_back(e.path());
        if (!arquivos.empty()) {
            EXPECT_EQ(errosDeLeiaute(arquivos), "");
        }
    }
    CenarioFichas(const CenarioFichas&) = delete;
    CenarioFichas& operator=(const CenarioFichas&) = delete;

    // The run's state, made on first use: rows inserted before are in its snapshot.
    Execucao& execucao() {
        if (!ex) {
            conexao.abre(banco.caminho());
            transacao = std::make_unique<Transacao>(conexao);
            ex = std::make_unique<Execucao>(parametros, *transacao, operador, relogio,
                                            [this] { return ibge; });
            ex->ocorrencias = &ocorrencias;
        }
        return *ex;
    }

    // Writes the files of one kind, as the run does.
    Execucao& gera(TipoFicha tipo) {
        const DescricaoFicha& d = descricaoFicha(tipo);
        d.gera(execucao(), d);
        return *ex;
    }

    // The paths the run listed, in order.
    std::vector<std::string> caminhosListados() const {
        std::vector<std::string> caminhos;
        for (const ArquivoGerado& a : ex->ListaArquivos) caminhos.push_back(a.caminho);
        return caminhos;
    }

    std::string arquivo(const std::string& nome) const {
        return leArquivo(pastaXml(parametros.Caminho) + "/" + nome);
    }

    BancoTeste banco;
    PastaTemporaria pasta;
    ParametrosExportacao parametros;
    OperadorGravador operador;
    // What the run told its report.
    OcorrenciasGravadas ocorrencias;
    RelogioFixo relogio{DataHora{2019, 11, 3, 14, 5, 0}};
    // The test writes values the layout has no place for, on purpose: its files are not checked
    // against the schema.
    bool foraDoLeiaute = false;
    std::string ibge = "4205407";

  private:
    Conexao conexao;
    std::unique_ptr<Transacao> transacao;
    std::unique_ptr<Execucao> ex;
};

inline std::string leDadoEsperado(const std::string& nome) {
    return leArquivo(std::filesystem::path(DADOS_TESTE_DIR) / nome);
}

// The value of the first "<tag>value</tag>" line of a record, or nothing.
inline std::optional<std::string> valorDe(const std::string& registro, const std::string& tag) {
    const std::string abre = "\r\n<" + tag + ">";
    const auto inicio = registro.find(abre);
    if (inicio == std::string::npos) return std::nullopt;
    const auto valor = inicio + abre.size();
    return registro.substr(valor, registro.find("</" + tag + ">", valor) - valor);
}

// Every "<tag>value</tag>" line of a record, in order.
inline std::vector<std::string> valoresDe(const std::string& registro, const std::string& tag) {
    std::vector<std::string> valores;
    const std::string abre = "\r\n<" + tag + ">";
    for (auto inicio = registro.find(abre); inicio != std::string::npos;
         inicio = registro.find(abre, inicio + 1)) {
        const auto valor = inicio + abre.size();
        valores.push_back(registro.substr(valor, registro.find("</" + tag + ">", valor) - valor));
    }
    return valores;
}

// The record with `sufixo` after its transport and form identifiers, and nothing else changed:
// the file a record gets when an earlier record of its run has its identifier.
inline std::string comSufixoNosIdentificadores(std::string ficha, const std::string& sufixo) {
    for (const std::string tag : {"uuidDadoSerializado", "uuidFicha"}) {
        const auto abre = ficha.find("<" + tag + ">");
        if (abre == std::string::npos) throw std::runtime_error("ficha sem " + tag);
        ficha.insert(ficha.find("</" + tag + ">", abre), sufixo);
    }
    return ficha;
}

}  // namespace cds::teste
