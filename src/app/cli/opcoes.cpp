#include "app/cli/opcoes.hpp"

#include <CLI/CLI.hpp>

#include <filesystem>
#include <iostream>
#include <ranges>
#include <string>
#include <string_view>
#include <vector>

#include "app/cli/codigos_saida.hpp"
#include "comum/versao.hpp"
#include "export/entradas.hpp"
#include "export/local_config.hpp"
#include "fichas/registro.hpp"

namespace cds {

namespace {

namespace fs = std::filesystem;

constexpr char kNomePrograma[] = "exportador-cds";
// The meaning of an exit code, a line of it, in bytes (a few accents make a line look shorter).
constexpr std::size_t kLarguraDosCodigos = 84;

constexpr char kDescricao[] =
    "Gera os arquivos XML das fichas CDS (layout e-SUS AB 2.2) a partir do banco de dados da\n"
    "clínica e os compacta em FichasValmo_<data>_<hora>_<início>_<fim>.zip na pasta de saída.\n"
    "Uma opção omitida assume o que a janela mostraria ao abrir (o config.ini).\n";

constexpr char kTextoConfig[] = R"(
As opções valem só para esta execução: a linha de comando não grava o config.ini, a não ser
com --grava-config, que guarda nele a pasta de saída e o profissional genérico usados. A janela
grava os dois a cada exportação, para abrir com eles da próxima vez.

Os arquivos vão para a subpasta arquivosXML da pasta de saída (criada se faltar) e o arquivo
compactado para a própria pasta de saída. As linhas do log saem na saída padrão; as mensagens
de andamento, o resumo e os erros, na saída de erros. Num terminal, cada tipo de ficha mostra
uma linha de andamento (quantas de quantas, arquivos por segundo, tempo restante), reescrita
no lugar; fora de um terminal (cron, um arquivo, um pipe) essa linha não é escrita. Com -q, só
os erros são escritos. Com --log ARQ, cada acontecimento é acrescentado a ARQ numa linha com
data, hora e fuso (ISO 8601), entre um cabeçalho (versão, banco de dados, unidade, período,
fichas, pasta de saída) e o resultado (com o nome do arquivo compactado). Iniciado com a saída
padrão, a de erros ou a entrada padrão fechada, como fazem alguns agendadores, o programa a
abre em /dev/null: o que iria para ela se perde, e nada vai parar em outro arquivo.

Com --verifica, a exportação inteira é feita numa pasta temporária (as fichas lidas, geradas e
conferidas, o relatório gravado): o arquivo compactado é apagado, a pasta de saída fica como
estava, a lista de erros não é gravada e o trabalho no banco de dados é desfeito, de modo que
nenhum cadastro é marcado como enviado. O fim da saída diz onde ficaram as fichas e o relatório.

Com --testa-conexao, o programa só se conecta ao banco de dados do config.ini, confere que cada
tabela e coluna que a exportação lê existe (nomeando a primeira que falta) e diz quantos
registros do período há de cada tipo de ficha. Nada é gravado.

Ctrl-C (ou SIGTERM, ou SIGHUP quando o terminal é fechado) interrompe a exportação: a consulta
em curso é cancelada, o trabalho no banco de dados é desfeito e o arquivo compactado por
terminar é apagado. Um segundo Ctrl-C encerra o programa na hora; o arquivo compactado por
terminar fica então, oculto, na pasta de saída, e a próxima exportação nessa pasta o apaga,
assim como o de uma execução que morreu (kill -9, falta de energia).
)";

constexpr char kTextoAmbiente[] = R"(
Variáveis de ambiente lidas:
  ISC_USER, ISC_PASSWORD   usuário e senha do banco de dados, as variáveis do próprio
                           Firebird (sem elas: SYSDBA e a senha padrão do Firebird); para o
                           cron, --senha-arquivo lê a senha de um arquivo. A senha nunca vai
                           para o config.ini, o log ou uma mensagem
  TMPDIR                   onde --verifica trabalha (sem ela: /tmp)
)";

constexpr char kTextoErros[] = R"(
A lista de erros da exportação (uma linha por erro) é gravada quando ela termina bem: em
erros.txt, ao lado do arquivo de configuração usado (o do sistema, em /etc, a manda para a
pasta de configuração do usuário), em ANSI (Windows-1252), e em UTF-8 ao lado do arquivo
compactado, com o nome dele e .erros.txt no lugar de .zip. Uma exportação sem erros apaga o
erros.txt anterior; uma que falha, é interrompida ou só verifica não mexe nele.
)";

// The record kinds of the registry for --fichas' help: their names, then what "todas" holds.
std::string ajudaDasFichas() {
    std::string texto = "tipos de ficha, separados por vírgula:";
    std::string fora;
    for (const DescricaoFicha& d : registroFichas()) {
        texto += "\n" + std::string(d.nome);
        if (!d.emTodas) fora += (fora.empty() ? "" : ", ") + std::string(d.nome);
    }
    return texto + "\nou todas (as da janela" + (fora.empty() ? "" : ", sem " + fora) +
           "; é o padrão)";
}

std::string rodape() {
    std::string texto = kTextoConfig;
    texto += "\nCódigos de saída:\n";
    for (const DescricaoSaida& c : kCodigosSaida) {
        const std::string numero = std::to_string(c.codigo);
        texto += "  " + numero + std::string(5 - numero.size(), ' ');
        // Broken at blanks to fit the terminal's usual width, under the meaning's first word.
        std::string linha;
        for (const std::string_view palavra :
             std::views::split(std::string_view(c.significado), ' ') |
                 std::views::transform(
                     [](auto&& p) { return std::string_view(p.begin(), p.end()); })) {
            if (!linha.empty() && linha.size() + 1 + palavra.size() > kLarguraDosCodigos) {
                texto += linha + "\n" + std::string(7, ' ');
                linha.clear();
            }
            linha += (linha.empty() ? "" : " ") + std::string(palavra);
        }
        texto += linha + "\n";
    }
    texto += kTextoAmbiente;
    texto += "\nSem --config, o arquivo de configuração é o primeiro destes que existir:\n";
    for (const fs::path& local : locaisDoConfig()) texto += "  " + local.string() + "\n";
    return texto + kTextoErros;
}

// The help in Portuguese, under the program's name.
class FormatoDaAjuda : public CLI::Formatter {
  public:
    std::string make_usage(const CLI::App*, std::string) const override {
        return std::string("Uso: ") + kNomePrograma + " [opções]\n";
    }
};

void opcaoDeValor(CLI::App& app, Opcoes& o, const char* nome, const char* valor,
                  const std::string& descricao, const char* grupo) {
    app.add_option_function<std::string>(
           nome, [&o, nome](const std::string& v) { o.valores[nome] = v; }, descricao)
        ->type_name(valor)
        ->group(grupo);
}

// The option a message of the parser names ("--caminho: 1 required DIR missing").
std::string opcaoDaMensagem(const std::string& mensagem) {
    const auto fim = mensagem.find(':');
    return fim == std::string::npos ? std::string() : mensagem.substr(0, fim);
}

}  // namespace

LinhaDeComando leOpcoes(int argc, char** argv) {
    LinhaDeComando linha;
    Opcoes& o = linha.opcoes;
    CLI::App app(kDescricao, kNomePrograma);
    auto formato = std::make_shared<FormatoDaAjuda>();
    formato->column_width(32);
    app.formatter(formato);
    app.footer(rodape());
    // What is left is refused below in the program's own words.
    app.allow_extras();
    // GNU's rule: an option given twice takes the last value.
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);

    const char* periodo = "Período";
    opcaoDeValor(app, o, kOpcaoDataInicial, "DD/MM/AAAA",
                 "primeiro dia do período\n(padrão: 1º dia do mês anterior)", periodo);
    opcaoDeValor(app, o, kOpcaoDataFinal, "DD/MM/AAAA",
                 "último dia do período\n(padrão: último dia do mês anterior)", periodo);
    const char* unidade = "Unidade";
    opcaoDeValor(app, o, kOpcaoUnidade, "CNES",
                 "CNES da unidade\n(padrão: CNESPRINCIPAL, seção [GERAL])", unidade);
    opcaoDeValor(app, o, kOpcaoCodProf, "COD",
                 "só os atendimentos deste profissional\n(padrão: todos)", unidade);
    opcaoDeValor(
        app, o, kOpcaoProfissionalGenerico, "COD",
        "profissional dos cadastros sem responsável; um\nprofissional do banco, obrigatório com as "
        "fichas\nde cadastro (padrão: PROFISSIONALGENERICO, seção\n[ESUS])",
        unidade);
    const char* saida = "Saída";
    opcaoDeValor(app, o, kOpcaoCaminho, "DIR",
                 "pasta de saída\n(padrão: CAMINHOXML, seção [GERAL])", saida);
    opcaoDeValor(app, o, kOpcaoUuid, "TEXTO", "texto dos identificadores gerados (padrão: 0)",
                 saida);
    app.add_flag("--verifica", o.verifica,
                 "faz a exportação inteira numa pasta temporária,\nsem guardar o arquivo "
                 "compactado nem marcar nada\ncomo enviado")
        ->group(saida);
    opcaoDeValor(app, o, kOpcaoFichas, "LISTA", ajudaDasFichas(), "Fichas");
    const char* conexao = "Configuração e conexão";
    app.add_option_function<std::string>(
           "--config", [&o](const std::string& v) { o.config = v; },
           "arquivo de configuração (padrão: veja abaixo)")
        ->type_name("ARQ")
        ->group(conexao);
    app.add_flag("--grava-config", o.gravaConfig,
                 "guarda no config.ini a pasta de saída e o\nprofissional genérico desta execução")
        ->group(conexao);
    app.add_option_function<std::string>(
           "--senha-arquivo", [&o](const std::string& v) { o.senhaArquivo = v; },
           "lê a senha do banco de dados da primeira linha\nde ARQ, que só o dono pode ler (no "
           "lugar de\nISC_PASSWORD)")
        ->type_name("ARQ")
        ->group(conexao);
    app.add_flag("--testa-conexao", o.testaConexao,
                 "só confere a conexão, as tabelas e colunas\nlidas e quantos registros o período "
                 "tem de cada\ntipo de ficha (código 0 ou 3)")
        ->group(conexao);
    const char* controle = "Controle da saída";
    app.add_flag("-q,--silencioso", o.silencioso, "escreve só os erros")->group(controle);
    app.add_option_function<std::string>(
           "--log", [&o](const std::string& v) { o.log = v; },
           "acrescenta a ARQ uma linha com data e hora\npor acontecimento")
        ->type_name("ARQ")
        ->group(controle);
    app.set_help_flag("-h,--help", "mostra esta ajuda")->group(controle);
    app.set_version_flag("-V,--version", std::string(kNomePrograma) + " " + kVersao,
                         "mostra a versão do programa")
        ->group(controle);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::cout << app.help();
        linha.saida = 0;
        return linha;
    } catch (const CLI::CallForVersion& e) {
        std::cout << e.what() << '\n';
        linha.saida = 0;
        return linha;
    } catch (const CLI::ArgumentMismatch& e) {
        throw ErroUso(opcaoDaMensagem(e.what()) + ": falta o valor");
    } catch (const CLI::ParseError& e) {
        // No other refusal of the parser is expected of these options; its own text still says
        // what it was.
        throw ErroUso(std::string("linha de comando não reconhecida: ") + e.what());
    }
    const std::vector<std::string> sobra = app.remaining();
    for (std::size_t i = 0; i < sobra.size(); ++i) {
        // What follows "--" is an argument, not an option, and none is taken.
        if (sobra[i] == "--") {
            if (i + 1 < sobra.size())
                throw ErroUso("argumento não esperado '" + sobra[i + 1] + "'");
            continue;
        }
        if (sobra[i].starts_with("-")) throw ErroUso("opção desconhecida '" + sobra[i] + "'");
        throw ErroUso("argumento não esperado '" + sobra[i] + "'");
    }
    if (o.verifica && o.testaConexao)
        throw ErroUso("--verifica e --testa-conexao não podem ser usadas juntas");
    for (const auto& [opcao, valor] : o.valores) validaTextoDaOpcao(opcao, valor);
    if (o.config) validaTextoDaOpcao("--config", *o.config);
    if (o.log) validaTextoDaOpcao("--log", *o.log);
    if (o.senhaArquivo) validaTextoDaOpcao("--senha-arquivo", *o.senhaArquivo);
    return linha;
}

}  // namespace cds
