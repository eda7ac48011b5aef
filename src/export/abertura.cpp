#include "export/abertura.hpp"

#include <filesystem>
#include <system_error>

#include "comum/erro.hpp"
#include "comum/plataforma_pastas.hpp"
#include "comum/texto.hpp"
#include "export/pasta_saida.hpp"
#include "fichas/registro.hpp"

namespace cds {

Periodo mesAnterior(const DataHora& hoje) {
    using namespace std::chrono;
    const year_month este{year{hoje.ano}, month{static_cast<unsigned>(hoje.mes)}};
    const year_month anterior = este - months{1};
    return {anterior / day{1}, year_month_day{anterior / last}};
}

std::set<TipoFicha> fichasDeTodas() {
    std::set<TipoFicha> todas;
    for (const DescricaoFicha& d : registroFichas())
        if (d.emTodas) todas.insert(d.tipo);
    return todas;
}

ParametrosExportacao parametrosIniciais(const ArquivoIni& ini, const Relogio& relogio) {
    ParametrosExportacao p;
    p.Unidade = ini.le(kSecaoGeral, kChaveCnesPrincipal, "");
    p.Caminho = ini.le(kSecaoGeral, kChaveCaminhoXml, caminhoXmlPadrao());
    p.ProfissionalGenerico = ini.le(kSecaoEsus, kChaveProfissionalGenerico, "");
    p.UUID = "0";
    const Periodo periodo = mesAnterior(relogio.agora());
    p.DataInicial = periodo.inicio;
    p.DataFinal = periodo.fim;
    p.Fichas = fichasDeTodas();
    return p;
}

void criaPastaXml(const std::string& Caminho) {
    // A blank Caminho would put arquivosXML at the root of the file system.
    if (apara(Caminho).empty())
        throw ErroArquivo("Informe a pasta de saída (Caminho): ela está em branco.");
    // Refused before any folder is made in a place another user controls.
    verificaDonoDaPastaDeSaida(Caminho);
    const std::filesystem::path pasta = pastaXml(Caminho);
    const std::error_code erro = criaPastasPrivadas(pasta);
    if (erro)
        throw ErroArquivo("Não foi possível criar a pasta " + pasta.string() + ": " +
                          motivoDoSistema(erro.value()) + ".");
}

}  // namespace cds
