#include "export/exportacao.hpp"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <system_error>

#include "comum/erro.hpp"
#include "comum/plataforma_arquivos.hpp"
#include "comum/plataforma_pastas.hpp"
#include "comum/texto.hpp"
#include "export/abertura.hpp"
#include "export/arquivos.hpp"
#include "export/pasta_saida.hpp"
#include "export/trava_pasta.hpp"
#include "fichas/profissional_generico.hpp"
#include "fichas/registro.hpp"
#include "source/conexao.hpp"

namespace cds {

namespace {

namespace fs = std::filesystem;

// An hour: a server that has not answered by then will not.
constexpr int kMaiorEspera = 3600;

// Once connected, a call may go four times TEMPOCONEXAO (a minute by default) without an
// answer before the run gives the server up: a busy server sorting a month of a large table
// can take many seconds before its first row, while one that was stopped or cut off never
// answers. A server slow beyond that asks for a larger TEMPOCONEXAO.
constexpr int kVezesSemResposta = 4;

constexpr char kAvisoSemIbge[] =
    "IBGE não informado em config.ini (IBGE, na seção [GERAL]): as fichas vão sem o código do "
    "município, e o e-SUS pode recusá-las.";

// Seconds the server has to answer the connection: GERAL/TEMPOCONEXAO, 15 when absent.
// Returns none when the setting is not a number of seconds from 1 to kMaiorEspera.
std::optional<std::chrono::seconds> esperaConexao(const ArquivoIni& ini) {
    const std::string texto(apara(ini.le(kSecaoGeral, kChaveTempoConexao, "")));
    if (texto.empty()) return OpcoesConexao{}.espera;
    if (!soDigitos(texto) || texto.size() > 4) return std::nullopt;
    const int segundos = std::stoi(texto);
    if (segundos < 1 || segundos > kMaiorEspera) return std::nullopt;
    return std::chrono::seconds{segundos};
}

// The connection's own error says where it went and why: the operator reads it once, from the
// front end.
void conecta(Conexao& conexao, const ArquivoIni& ini, Cancelamento* cancelamento) {
    OpcoesConexao opcoes;
    opcoes.espera = esperaConexao(ini).value_or(opcoes.espera);
    opcoes.semResposta = kVezesSemResposta * opcoes.espera;
    opcoes.cancelamento = cancelamento;
    try {
        conexao.abre(std::string(apara(ini.le(kSecaoGeral, kChaveDatabase, ""))), opcoes);
    } catch (const ErroInterrompido&) {
        throw;
    } catch (const ErroBanco& e) {
        // A connection cancelled at the operator's request is a stop, not an unreachable server.
        if (cancelamento) cancelamento->verifica();
        throw ErroSemConexao(e.what());
    }
}

// A check run's own folder under the system's temporary folder, private to the user, since its
// record files hold citizens' health data.
fs::path criaPastaDaVerificacao() {
    std::error_code ec;
    const fs::path temporaria = fs::temp_directory_path(ec);
    if (ec)
        throw ErroArquivo(mensagemComMotivo(
            "Não foi possível saber qual é a pasta temporária do sistema, onde a verificação "
            "trabalha",
            ec));
    const std::string base = "exportador-cds-verificacao-" + std::to_string(idDoProcesso());
    for (int n = 1; n < 10000; ++n) {
        const fs::path pasta = temporaria / (n == 1 ? base : base + "_" + std::to_string(n));
        if (fs::exists(fs::symlink_status(pasta, ec))) continue;
        if (const std::error_code erro = criaPastasPrivadas(pasta))
            throw ErroArquivo(mensagemComMotivo("Não foi possível criar a pasta " + pasta.string() +
                                                    ", onde a verificação trabalha",
                                                erro));
        return pasta;
    }
    throw ErroArquivo("Não foi possível criar uma pasta para a verificação em " +
                      temporaria.string() + ": todos os nomes estão tomados.");
}

// The archive is in place: the run's work is confirmed, or the archive goes, since its
// registrations stay unmarked and would be sent again by the next run.
void confirma(Transacao& transacao, const std::string& arquivoZip) {
    try {
        transacao.commit();
    } catch (ErroConexaoPerdida& e) {
        // The commit may have reached the server before the connection went, and its
        // registrations be marked sent: the archive stays, for an archive whose registrations
        // are not marked only sends them again, while one lost loses them.
        e.acrescentaContexto(
            "Não se sabe se a exportação foi confirmada no banco de dados: a "
            "conexão caiu durante a confirmação. O arquivo " +
            arquivoZip + " foi mantido");
        throw;
    } catch (Erro& e) {
        std::error_code ec;
        fs::remove(arquivoZip, ec);
        e.acrescentaContexto(
            ec ? "A exportação não foi confirmada no banco de dados, e o arquivo " + arquivoZip +
                     " não pôde ser apagado (" + ec.message() + "): não o envie"
               : "A exportação não foi confirmada no banco de dados e o arquivo " + arquivoZip +
                     " foi apagado");
        throw;
    }
}

// The run's error list, saved once the run has committed: erros.txt beside config.ini (in the
// user's settings folder for the system's config.ini, made when missing) and its
// copy beside the archive, each replaced whole, or removed when the list is empty. The archive
// and the commit stand whatever happens here; a copy that cannot be saved is said, with the
// list's lines in the log so that none is lost, and the run does not end as a success.
void salvaListaDeErros(Execucao& ex, const ArquivoIni& ini, ResultadoExportacao& resultado) {
    const std::pair<fs::path, CodificacaoErros> destinos[] = {
        {ini.pastaDosErros() / kNomeArquivoErros, CodificacaoErros::Windows1252},
        {fs::path(resultado.arquivoZip).replace_extension(kFimArquivoErrosDoZip),
         CodificacaoErros::Utf8}};
    // The user's settings folder may not be there yet; one that cannot be made fails the save
    // below, which says why.
    if (!ex.ErrosCadastro.empty()) criaPastasPrivadas(ini.pastaDosErros());
    std::string falhas;
    for (const auto& [arquivo, codificacao] : destinos) {
        try {
            salvaErrosCadastro(arquivo, ex.ErrosCadastro, codificacao);
            if (!ex.ErrosCadastro.empty()) resultado.arquivosErros.push_back(arquivo);
        } catch (const ErroArquivo& e) {
            falhas += (falhas.empty() ? "" : " ") + std::string(e.what());
        }
    }
    if (falhas.empty()) return;
    const std::string feito = "O arquivo compactado " + resultado.arquivoZip +
                              " foi gravado e a exportação foi confirmada no banco de dados: "
                              "envie-o, pois os cadastros dele já constam como enviados. ";
    if (ex.ErrosCadastro.empty())
        throw ErroAposConfirmacao(feito +
                                  "Esta exportação não teve erros, mas a lista de erros de uma "
                                  "exportação anterior não pôde ser apagada: " +
                                  falhas);
    ex.log("Lista de erros desta exportação, que não pôde ser gravada:");
    for (const std::string& linha : ex.ErrosCadastro) ex.log(linha);
    throw ErroAposConfirmacao(feito + "Só a lista de erros não pôde ser gravada: " + falhas +
                              " As " + std::to_string(ex.ErrosCadastro.size()) +
                              " linha(s) dela estão no fim do log.");
}

// The registrations' generic professional is one of the clinic's: an unknown code would send
// citizens and households without a professional, which the importer refuses, and mark them
// sent all the same. Asked before the output subfolder is emptied or any record written.
void verificaProfissionalGenerico(Transacao& transacao, const ParametrosExportacao& p) {
    if (!std::ranges::any_of(p.Fichas, ehCadastro)) return;
    if (profissionalCadastrado(transacao, p.ProfissionalGenerico)) return;
    throw ErroParametro(kOpcaoProfissionalGenerico,
                        "Nenhum profissional tem o código '" +
                            textoVisivel(p.ProfissionalGenerico) +
                            "', informado como profissional genérico. Os cadastros sem "
                            "profissional responsável iriam sem o CNS e o CBO dele, e o e-SUS os "
                            "recusaria. Informe o código de um profissional cadastrado. Nenhuma "
                            "ficha foi gerada e nenhum cadastro foi marcado como enviado.");
}

// The report of a run that failed, under the name its archive has or would have had (the first
// whose archive and report are both free), so that the operator sees how far it got; the
// error's message ends saying where the report is, or why it could not be written.
void relataFalha(Relatorio& relatorio, const ParametrosExportacao& parametros,
                 const Relogio& relogio, Erro& erro) {
    std::string arquivoZip = relatorio.arquivoZip();
    if (arquivoZip.empty()) {
        const std::string nome = nomeArquivoZip(parametros, relogio.agora());
        const std::string base = nome.substr(0, nome.size() - 4);
        std::error_code ec;
        arquivoZip = nome;
        for (int n = 2; n < 10000 &&
                        (fs::exists(arquivoZip, ec) ||
                         fs::exists(fs::path(arquivoZip).replace_extension(kFimRelatorioHtml), ec));
             ++n)
            arquivoZip = base + "_" + std::to_string(n) + ".zip";
    }
    try {
        const ResumoDoRelatorio resumo = relatorio.conclui(arquivoZip, std::string(erro.what()));
        erro.acrescentaNota("O relatório do que foi feito até aqui está em " +
                            resumo.html.string() + ".");
    } catch (const Erro& e) {
        erro.acrescentaNota("O relatório do que foi feito até aqui não pôde ser gravado: " +
                            std::string(e.what()));
    }
}

// The generators of the chosen kinds, in the order their files reach the archive.
void executaGeradoresEscolhidos(Execucao& ex) {
    for (const DescricaoFicha& d : registroFichas())
        if (d.gera && ex.parametros.escolhida(d.tipo)) d.gera(ex, d);
}

// The run once connected: its transaction, the record files, the archive, the commit. A
// transaction still open when this is left (an error on the way) is rolled back.
ResultadoExportacao geraEEmpacota(const ParametrosExportacao& parametros, ArquivoIni& ini,
                                  Operador& operador, const Relogio& relogio, Conexao& conexao,
                                  const Cancelamento* cancelamento, bool verificacao,
                                  std::unique_ptr<Relatorio>& relatorio) {
    Transacao transacao(conexao);
    verificaProfissionalGenerico(transacao, parametros);
    Execucao ex(parametros, transacao, operador, relogio, [&ini] { return ibgeDoConfig(ini); });
    ex.cancelamento = cancelamento;
    // The records still go, with the empty element the layout has for it; the operator learns
    // before the importer refuses them.
    const bool semIbge = ex.ibge().empty();
    if (semIbge) ex.log(kAvisoSemIbge);
    if (cancelamento) cancelamento->verifica();
    // Last month's files may be hundreds of thousands: the clean-up has its own status and
    // count, and the operator may stop the run there (what is gone was an earlier run's).
    operador.status(kStatusLimpeza);
    const LimpezaPastaXml limpeza = DeletaArquivosDir(
        ex.pastaXml(), [&operador, cancelamento](std::size_t feitos, std::size_t total) {
            if (cancelamento) cancelamento->verifica();
            operador.progresso(feitos, total);
        });
    for (const std::string& aviso : avisosDaLimpeza(limpeza)) ex.log(aviso);
    ex.ListaArquivos.clear();

    // The folder is this run's (its lock is held): a hidden archive there is a dead run's.
    removeArquivosIncompletos(parametros.Caminho, [&ex](const std::string& l) { ex.log(l); });

    // Begun once the folder holds no dead run's leftovers: it is told of every record.
    relatorio = std::make_unique<Relatorio>(parametros, relogio.agora());
    ex.ocorrencias = relatorio.get();
    ResultadoExportacao resultado;
    // The archive is written on a second core while the records are.
    Empacotamento empacotamento(parametros, relogio);
    ex.aoGravarArquivo = [&empacotamento](const std::string& caminho, std::string texto,
                                          const std::optional<EstadoArquivo>& estado) {
        empacotamento.adiciona(caminho, std::move(texto), estado);
    };
    executaGeradoresEscolhidos(ex);
    ex.aoGravarArquivo = nullptr;

    operador.status("Compactando Arquivo...");
    resultado.arquivoZip = empacotamento.conclui(relogio, cancelamento);
    if (cancelamento && cancelamento->pedido()) {
        // Stopped with the archive in place: it goes, since its registrations stay unmarked.
        std::error_code ec;
        fs::remove(resultado.arquivoZip, ec);
        cancelamento->verifica();
    }
    // Before the commit: a run that is confirmed has its report.
    resultado.relatorio = relatorio->conclui(resultado.arquivoZip);
    if (verificacao) {
        // Nothing of it is to be sent: the archive goes, and the transaction, left
        // uncommitted, rolls the register's marks back as it ends.
        std::error_code ec;
        if (!fs::remove(resultado.arquivoZip, ec) && ec)
            throw ErroArquivo(
                mensagemComMotivo("Não foi possível apagar o arquivo compactado da verificação, " +
                                      resultado.arquivoZip + " (não o envie)",
                                  ec));
    } else {
        confirma(transacao, resultado.arquivoZip);
        salvaListaDeErros(ex, ini, resultado);
    }
    if (semIbge) resultado.avisos.push_back(kAvisoSemIbge);
    if (!verificacao) avisaArquivoGerado(operador);

    resultado.ListaArquivos = std::move(ex.ListaArquivos);
    resultado.LogExecucao = std::move(ex.LogExecucao);
    resultado.ErrosCadastro = std::move(ex.ErrosCadastro);
    return resultado;
}

}  // namespace

void validaExecucao(const ParametrosExportacao& parametros, const ArquivoIni& ini) {
    ini.verifica();
    const std::string arquivo = ini.arquivo().string();
    if (!ini.existe() && ini.locaisProcurados().size() > 1) {
        std::string locais;
        for (const fs::path& local : ini.locaisProcurados())
            locais += (locais.empty() ? "" : "; ") + local.string();
        throw ErroArquivo(std::string("O arquivo de configuração ") + kNomeArquivoIni +
                          " não foi encontrado. Ele foi procurado, nesta ordem, em: " + locais +
                          ". Crie-o em um desses lugares, ou indique-o com --config; ele deve "
                          "dizer o banco de dados da clínica em DATABASE, na seção [GERAL].");
    }
    if (!ini.existe())
        throw ErroArquivo("O arquivo de configuração não foi encontrado: " + arquivo +
                          ". Ele deve dizer o banco de dados da clínica em DATABASE, na seção "
                          "[GERAL].");
    if (apara(ini.le(kSecaoGeral, kChaveDatabase, "")).empty())
        throw ErroArquivo("O arquivo de configuração " + arquivo +
                          " não diz o banco de dados da clínica: falta DATABASE na seção [GERAL].");
    if (!esperaConexao(ini))
        throw ErroArquivo("O arquivo de configuração " + arquivo +
                          " diz em TEMPOCONEXAO, na seção " + "[GERAL], '" +
                          ini.le(kSecaoGeral, kChaveTempoConexao, "") +
                          "', que não é um número de segundos de 1 a " +
                          std::to_string(kMaiorEspera) + ". Corrija-o, ou apague-o para 15 s.");
    ibgeDoConfig(ini);
    std::error_code ecErros;
    const fs::path erros = ini.arquivo().parent_path() / kNomeArquivoErros;
    if (fs::is_symlink(fs::symlink_status(erros, ecErros)))
        throw ErroArquivo("O arquivo " + erros.string() +
                          ", onde vai a lista de erros, é um link simbólico: a exportação não "
                          "grava através dele nem o substitui. Apague-o, e a lista será gravada "
                          "ali. Nada foi gravado.");
    validaParametros(parametros);
    if (temCaractereDeControle(parametros.Caminho))
        throw ErroArquivo(
            "A pasta de saída (Caminho) tem uma quebra de linha ou outro caractere de controle; "
            "corrija-a. Nada foi gravado.");
    if (apara(parametros.Caminho).empty())
        throw ErroArquivo("Informe a pasta de saída (Caminho): ela está em branco.");
    std::error_code ec;
    if (fs::is_symlink(pastaXml(parametros.Caminho), ec))
        throw ErroArquivo("A pasta " + pastaXml(parametros.Caminho) +
                          " é um link simbólico; a exportação não esvazia a pasta a que ele leva. "
                          "Use uma pasta arquivosXML de verdade na pasta de saída.");
    verificaDonoDaPastaDeSaida(parametros.Caminho);
    verificaArquivosNaPastaXml(parametros.Caminho, ini.le(kSecaoGeral, kChaveDatabase, ""),
                               ini.arquivo());
}

ResultadoExportacao exportaArquivos(const ParametrosExportacao& entrada, ArquivoIni& ini,
                                    Operador& operador, const Relogio& relogio,
                                    Cancelamento* cancelamento, const ModoExportacao& modo) {
    validaExecucao(entrada, ini);
    ParametrosExportacao parametros = entrada;
    parametros.Caminho = caminhoAbsoluto(entrada.Caminho);
    const std::string pastaDeSaida = parametros.Caminho;
    const fs::path pastaDaVerificacao = modo.verificacao ? criaPastaDaVerificacao() : fs::path();
    if (modo.verificacao) {
        parametros.Caminho = pastaDaVerificacao.string();
        criaPastaXml(parametros.Caminho);
    }
    // Held to the end of the run: another run on this folder would empty arquivosXML under
    // this one's packing.
    const TravaPasta trava(parametros.Caminho);
    operador.limpaLog();
    operador.limpaErrosCadastro();
    if (modo.gravaConfig) {
        ini.grava(kSecaoGeral, kChaveCaminhoXml, pastaDeSaida);
        ini.grava(kSecaoEsus, kChaveProfissionalGenerico, parametros.ProfissionalGenerico);
    }

    // Declared before the run's state so that it outlives its statements.
    Conexao conexao;
    // The run's report, once its records are begun.
    std::unique_ptr<Relatorio> relatorio;
    try {
        try {
            conecta(conexao, ini, cancelamento);
            ResultadoExportacao resultado =
                geraEEmpacota(parametros, ini, operador, relogio, conexao, cancelamento,
                              modo.verificacao, relatorio);
            if (modo.mantemPastaDaVerificacao) {
                resultado.pastaDaVerificacao = pastaDaVerificacao;
            } else if (modo.verificacao) {
                std::error_code ec;
                fs::remove_all(pastaDaVerificacao, ec);
            }
            return resultado;
        } catch (const ErroSemResposta& e) {
            if (cancelamento) cancelamento->verifica();
            throw ErroSemResposta(std::string(e.what()) + " (o limite é " +
                                  std::to_string(kVezesSemResposta) +
                                  " vezes TEMPOCONEXAO, na seção [GERAL] de config.ini). "
                                  "Verifique se o servidor e a rede funcionam; um servidor apenas "
                                  "lento pede um TEMPOCONEXAO maior.");
        } catch (const Erro&) {
            // A database call cancelled at the operator's request fails as any call would;
            // what the operator reads is that the run was stopped. The work went with the
            // transaction.
            if (cancelamento) cancelamento->verifica();
            throw;
        }
    } catch (const ErroInterrompido&) {
        // Stopped by the operator: nothing of the run is left behind, no report either.
        if (modo.verificacao) {
            std::error_code ec;
            fs::remove_all(pastaDaVerificacao, ec);
        }
        throw;
    } catch (Erro& e) {
        const bool mantida = !modo.verificacao || modo.mantemPastaDaVerificacao;
        if (relatorio && mantida) {
            relataFalha(*relatorio, parametros, relogio, e);
        } else if (modo.verificacao) {
            // Nothing of the check run was begun there, or nothing of it is wanted: its folder
            // would only be litter.
            std::error_code ec;
            fs::remove_all(pastaDaVerificacao, ec);
        }
        throw;
    }
}

std::string ibgeDoConfig(const ArquivoIni& ini) {
    const std::string valor = ini.le(kSecaoGeral, kChaveIbge, "");
    const std::string_view ibge = apara(valor);
    if (ibge.empty() || (ibge.size() == 7 && soDigitos(ibge))) return std::string(ibge);
    throw ErroArquivo("O arquivo de configuração " + ini.arquivo().string() +
                      " diz em IBGE, na seção [GERAL], '" + textoVisivel(valor) +
                      "', que não é o código de um município: são sete dígitos, como 4205407. "
                      "Corrija-o. Nada foi gravado.");
}

std::string caminhoAbsoluto(const std::string& Caminho) {
    const fs::path caminho(Caminho);
    if (apara(Caminho).empty() || caminho.is_absolute()) return Caminho;
    std::error_code ec;
    const fs::path absoluto = fs::absolute(caminho, ec);
    if (ec)
        throw ErroArquivo("Não foi possível saber a que pasta leva a pasta de saída '" + Caminho +
                          "': " + motivoDoSistema(ec) + ". Informe-a por inteiro.");
    // ".." stays: past a symbolic link it leads where only the system knows.
    fs::path limpo;
    for (const fs::path& parte : absoluto)
        if (!parte.empty() && parte != ".") limpo /= parte;
    return limpo.string();
}

std::vector<std::string> notasFinais(const ResultadoExportacao& resultado) {
    std::vector<std::string> notas;
    if (resultado.ErrosCadastro.empty()) {
        notas.push_back("Lista de erros: nenhuma linha.");
    } else {
        std::string onde;
        for (const fs::path& arquivo : resultado.arquivosErros)
            onde += (onde.empty() ? ", em " : " e em ") + arquivo.string();
        notas.push_back("Lista de erros: " + std::to_string(resultado.ErrosCadastro.size()) +
                        " linha(s)" + onde + ".");
    }
    notas.insert(notas.end(), resultado.avisos.begin(), resultado.avisos.end());
    return notas;
}

}  // namespace cds
