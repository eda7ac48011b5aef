// A municipality's month through the whole run, and the floor it is measured against.
//
//   bench_exportacao [--cidadaos N] [--domicilios N] [--atendimentos N] [--odontologicos N]
//                    [--procedimentos N] [--visitas N] [--encontros N] [--execucoes N]
//                    [--escala F] [--servidor HOST/PORTA] [--so-servidor] [--tmpfs]
//                    [--pequeno]
//
// Makes the demo clinic (db/demo.sql) and copies its rows of each kind, with new keys and dates
// spread over November 2026, up to the sizes asked: citizens and households marked for sending,
// medical episodes with triage, CIAP, CID and exams, dental episodes, nursing episodes with
// procedures, home visits, and group meetings with participants. Then it exports every kind
// (`--fichas todas,vacinacao`) with the embedded engine and, with --servidor, through that
// Firebird server, several times, each on a fresh copy of the database and in a process of its
// own. Each time the month is exported twice: into an empty output folder, then, on a fresh
// copy again, into that same folder, which now holds the first run's files as a scheduled
// run finds the previous month's. It prints, for both:
//   - files/s, µs per file, the CPU time and the peak memory of the run's process;
//   - the time of each kind (from its status text to the next) and of packing (from
//     "Compactando Arquivo..." to "Concluído!", the commit included);
// and the floor, measured in the same session on a fresh copy, each part alone: each source
// table read once by one statement, the run's files written again (same bytes, same number of
// files, each to a sibling renamed over its name, as the run saves them), and the run's texts
// deflated from memory into the same archive by the run's packing. Then the run's time over
// the floor (its parts one after another) and over the ideal (the parts overlapped on two
// cores: the largest part, or half their sum when that is more).
// Minimum and median of the runs. --escala multiplies every size given before it (0.1 for a
// tenth of the month). The folders go to the system's temporary folder (TMPDIR: the disk when
// it is unset), each run's to one of its own, all kept until the end, so that one run's mass
// deletion does not slow the next one's writes; --tmpfs puts them in /dev/shm. The load of the
// machine is printed with every run. --pequeno is the smoke test of CI: a hundredth of the
// sizes and one run; it prints the figures and asserts nothing about speed.

#include <sys/resource.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "comum/plataforma_arquivos.hpp"
#include "export/abertura.hpp"
#include "export/arquivo_ini.hpp"
#include "export/empacotamento.hpp"
#include "export/exportacao.hpp"
#include "export/processo.hpp"
#include "fichas/registro.hpp"
#include "source/conexao.hpp"
#include "source/consulta.hpp"
#include "suporte/arquivos_teste.hpp"
#include "suporte/banco_teste.hpp"

using namespace cds;
namespace fs = std::filesystem;
using RelogioMonotono = std::chrono::steady_clock;

namespace {

struct Tamanhos {
    int cidadaos = 50000;
    int domicilios = 15000;
    int atendimentos = 100000;
    int odontologicos = 10000;
    int procedimentos = 20000;
    int visitas = 10000;
    int encontros = 500;
};

double segundos(RelogioMonotono::time_point a, RelogioMonotono::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

double picoMemoriaMiB() {
    rusage uso{};
    getrusage(RUSAGE_SELF, &uso);
    return static_cast<double>(uso.ru_maxrss) / 1024.0;
}

// User and system time of every thread of the process: what the run cost the machine,
// whatever else was running.
double tempoDeCpu() {
    rusage uso{};
    getrusage(RUSAGE_SELF, &uso);
    const auto s = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return s(uso.ru_utime) + s(uso.ru_stime);
}

// ---------- The synthetic month ----------

// Copies the rows of `tabela` that `filtro` picks (as "r"), `copias` times: copy k (from 0)
// has the columns of `trocas` given by their expression, where DESLOC stands for (k + 1) *
// passo. Identity columns are left to the table. One statement, on the server's side.
void replica(Transacao& t, const std::string& tabela, const std::string& filtro, int copias,
             int passo, const std::map<std::string, std::string>& trocas) {
    if (copias <= 0) return;
    Consulta colunas(t,
                     "SELECT TRIM(RDB$FIELD_NAME) AS NOME FROM RDB$RELATION_FIELDS "
                     "WHERE RDB$RELATION_NAME = :ptabela AND RDB$IDENTITY_TYPE IS NULL "
                     "ORDER BY RDB$FIELD_POSITION");
    colunas.parametro("ptabela", tabela);
    std::string nomes, valores;
    const std::string desloc = "((n.K + 1) * " + std::to_string(passo) + ")";
    for (const Linha& l : colunas.abre()) {
        const std::string coluna = l.texto("NOME");
        std::string valor = "r.\"" + coluna + "\"";
        if (auto it = trocas.find(coluna); it != trocas.end()) {
            valor = it->second;
            for (std::size_t p; (p = valor.find("DESLOC")) != std::string::npos;)
                valor.replace(p, 6, desloc);
        }
        nomes += (nomes.empty() ? "\"" : ", \"") + coluna + "\"";
        valores += (valores.empty() ? "" : ", ") + valor;
    }
    if (nomes.empty()) throw std::runtime_error("tabela sem colunas: " + tabela);
    // The outer join keeps the few rows copied outside, so that the copies are a range of the
    // numbers' index for each of them, whatever indexes the table has.
    Consulta(t, "INSERT INTO " + tabela + " (" + nomes + ") SELECT " + valores + " FROM " + tabela +
                    " r LEFT JOIN BENCH_N n ON n.K < " + std::to_string(copias) + " WHERE " +
                    filtro)
        .executa();
}

// Copies of demo rows: the citizens 101 and 103 (first sending, 101 with health conditions)
// with household 101; medical episodes 1001 and 1004 (triage, two CIAP codes, a CID code,
// exams); nursing episodes 1010 and 1011 (procedures); dental episodes 2001 and 2002; home
// visits 3001 and 3002; meetings 17 and 18 (participants, triage, themes, audience).
void populaMes(const std::string& banco, const Tamanhos& n) {
    Conexao c;
    c.abre(banco);
    {
        Transacao t(c);
        Consulta(t, "CREATE TABLE BENCH_N (K INTEGER NOT NULL PRIMARY KEY)").executa();
        t.commit();
    }
    Transacao t(c);
    const int maior = std::max({n.cidadaos, n.domicilios, n.atendimentos, n.odontologicos,
                                n.procedimentos, n.visitas, n.encontros, 1});
    Consulta numero(t, "INSERT INTO BENCH_N VALUES (:k)");
    for (int k = 0; k < maior; ++k) {
        numero.parametro("k", k);
        numero.executa();
    }

    const std::map<std::string, std::string> codigo = {{"CODIGO", "r.CODIGO + DESLOC"}};
    const int pares = n.cidadaos / 2;
    replica(t, "PESSOAS", "r.CODIGO IN (101, 103)", pares, 1000,
            {{"CODIGO", "r.CODIGO + DESLOC"}, {"CODTITULAR", "r.CODTITULAR + DESLOC"}});
    replica(t, "PESSOASCONDSAUDE", "r.CODIGO IN (101, 103)", pares, 1000, codigo);
    replica(t, "PESSOASTRANSMISSAO", "r.CODIGO IN (101, 103)", pares, 1000, codigo);
    const int domicilios = std::min(n.domicilios, pares);
    replica(t, "FAMILIAS", "r.CODIGO = 101", domicilios, 1000, codigo);
    replica(t, "FAMILIASTRANSMISSAO", "r.CODIGO = 101", domicilios, 1000, codigo);

    // Episodes: every table keyed by unit and episode number follows its episode. The copied
    // numbers are all below the step, so copies never meet; a step of 3,003 keeps NUMFAA, an
    // INTEGER, in range up to a month of 1.4 million medical episodes (--escala 14).
    constexpr int kPassoEpisodio = 3003;
    const std::map<std::string, std::string> episodio = {
        {"NUMFAA", "r.NUMFAA + DESLOC"}, {"DATA", "DATEADD(DAY, MOD(n.K, 30), DATE '2026-11-01')"}};
    const std::map<std::string, std::string> doEpisodio = {{"NUMFAA", "r.NUMFAA + DESLOC"}};
    struct Tipo {
        const char* numeros;
        int copias;
        std::vector<const char*> tabelas;
    };
    const Tipo tipos[] = {
        {"1001, 1004",
         n.atendimentos / 2,
         {"TRIAGENS", "SOLICPROCEDS", "FAACIAPS", "FAACID", "FAAPROCED"}},
        {"1010, 1011", n.procedimentos / 2, {"TRIAGENS", "FAAPROCED"}},
        {"2001, 2002", n.odontologicos / 2, {"FAAFORNECIMENTOS", "FAAVIGBUCAL", "FAAPROCED"}},
        {"3001, 3002", n.visitas / 2, {"FAAMOTVISITAS"}},
    };
    for (const Tipo& tipo : tipos) {
        const std::string filtro =
            "r.CODUNIDADE = '2345678' AND r.NUMFAA IN (" + std::string(tipo.numeros) + ")";
        replica(t, "FAA", filtro, tipo.copias, kPassoEpisodio, episodio);
        for (const char* tabela : tipo.tabelas)
            replica(t, tabela, filtro, tipo.copias, kPassoEpisodio, doEpisodio);
    }

    const std::map<std::string, std::string> encontro = {
        {"ID_ENCONTRO", "r.ID_ENCONTRO + DESLOC"},
        {"DATA", "DATEADD(DAY, MOD(n.K, 30), DATE '2026-11-01')"}};
    const std::map<std::string, std::string> doEncontro = {
        {"ID_ENCONTRO", "r.ID_ENCONTRO + DESLOC"}};
    const int encontros = n.encontros / 2;
    replica(t, "ENCONTROSGRUPOS", "r.ID_ENCONTRO IN (17, 18)", encontros, 100, encontro);
    for (const char* tabela : {"ENCONTROS_PROFISSIONAIS", "ENCONTROS_TEMA", "ENCONTROS_PUBLICO",
                               "ENCONTROS_TEMASAUDE", "PRESENCAENCONTROS", "TRIAGENS"})
        replica(t, tabela, "r.ID_ENCONTRO IN (17, 18)", encontros, 100, doEncontro);
    t.commit();
}

// ---------- One export, in a process of its own ----------

// Timestamps every status text: the kinds' starts, the packing's, the end's.
class OperadorCronometro : public Operador {
  public:
    // Each status as it came, with the moment and the peak memory so far.
    struct Marca {
        std::string texto;
        RelogioMonotono::time_point quando;
        double memoria;
    };
    std::vector<Marca> marcas;

    void status(const std::string& texto) override {
        marcas.push_back({texto, RelogioMonotono::now(), picoMemoriaMiB()});
    }
    void limpaLog() override {}
    void log(const std::string&) override {}
    void erroCadastro(const std::string&) override {}
    void limpaErrosCadastro() override {}
    void mensagem(const std::string&, const std::string&, TipoMensagem) override {}
};

class RelogioDaDemo : public Relogio {
  public:
    DataHora agora() const override { return {2026, 12, 10, 14, 5, 0}; }
};

ParametrosExportacao parametrosDaDemo(ArquivoIni& ini, const fs::path& saida) {
    static RelogioDaDemo relogio;
    ParametrosExportacao p = parametrosIniciais(ini, relogio);
    p.Unidade = "2345678";
    p.ProfissionalGenerico = "9";
    p.Caminho = saida.string();
    p.DataInicial = std::chrono::year{2026} / 11 / 1;
    p.DataFinal = std::chrono::year{2026} / 11 / 30;
    p.Fichas.clear();
    for (const DescricaoFicha& d : registroFichas()) p.Fichas.insert(d.tipo);
    return p;
}

// Prints "chave valor" lines for the parent; the list of files goes to `lista`.
int filhoExporta(const std::string& banco, const fs::path& pasta) {
    ArquivoIni ini(pasta / "config.ini");
    ini.grava(kSecaoGeral, kChaveDatabase, banco);
    ini.grava(kSecaoGeral, kChaveIbge, "2211001");
    const fs::path saida = pasta / "saida";
    const ParametrosExportacao p = parametrosDaDemo(ini, saida);
    criaPastaXml(p.Caminho);
    OperadorCronometro operador;
    RelogioDaDemo relogio;

    const double cpuAntes = tempoDeCpu();
    const auto inicio = RelogioMonotono::now();
    const ResultadoExportacao r = exportaArquivos(p, ini, operador, relogio);
    const auto fim = RelogioMonotono::now();

    std::printf("total %.6f\n", segundos(inicio, fim));
    std::printf("cpu %.6f\n", tempoDeCpu() - cpuAntes);
    std::printf("memoria %.1f\n", picoMemoriaMiB());
    // The run raises what fails; an archive is always a whole one.
    std::printf("zip 1 %s\n", r.arquivoZip.c_str());
    std::size_t unicos = 0;
    for (const ResumoDoTipo& t : r.relatorio.tipos) {
        if (t.gravados == 0) continue;
        std::printf("arquivos %s %zu\n", std::string(nomeResumo(t.tipo)).c_str(), t.gravados);
        unicos += t.gravados;
    }
    std::printf("arquivos-total %zu\n", unicos);
    const double memoriaNoFim = picoMemoriaMiB();
    for (std::size_t i = 0; i < operador.marcas.size(); ++i) {
        const OperadorCronometro::Marca& m = operador.marcas[i];
        const bool ultima = i + 1 == operador.marcas.size();
        const auto seguinte = ultima ? fim : operador.marcas[i + 1].quando;
        if (m.texto.empty()) continue;
        std::printf("etapa %.6f %s\n", segundos(m.quando, seguinte), m.texto.c_str());
        // The peak the process had reached when the stage ended.
        std::printf("memoria-etapa %.1f %s\n",
                    ultima ? memoriaNoFim : operador.marcas[i + 1].memoria, m.texto.c_str());
    }
    if (!operador.marcas.empty())
        std::printf("etapa %.6f %s\n", segundos(inicio, operador.marcas.front().quando),
                    "(início: configurações, conexão, pasta)");
    std::ofstream lista(pasta / "lista.txt");
    for (const ArquivoGerado& a : r.ListaArquivos) lista << a.caminho << '\n';
    return 0;
}

// The source tables of the eight kinds.
constexpr const char* kTabelasFonte[] = {
    "PESSOAS",
    "PESSOASTRANSMISSAO",
    "PESSOASCONDSAUDE",
    "FAMILIAS",
    "FAMILIASTRANSMISSAO",
    "PAISES",
    "ETNIAS",
    "DEFICIENCIAS",
    "PROFISSIONAIS",
    "CBO",
    "UNIDADES",
    "CEP",
    "LOCALIDADE",
    "BAIRROS",
    "FAA",
    "TRIAGENS",
    "SOLICPROCEDS",
    "FAACIAPS",
    "FAACID",
    "CONDUTAS",
    "FAAPROCED",
    "SUSPROCEDUNIF",
    "FAAFORNECIMENTOS",
    "FAAVIGBUCAL",
    "FAAMOTVISITAS",
    "GRUPOSDERISCO",
    "ENCONTROSGRUPOS",
    "ENCONTROS_PROFISSIONAIS",
    "ENCONTROS_TEMA",
    "ENCONTROS_PUBLICO",
    "ENCONTROS_TEMASAUDE",
    "PRESENCAENCONTROS",
};

// A file saved as the run saves one: written whole to a new hidden sibling, renamed over the
// name.
void salvaComoARun(const std::string& caminho, const std::string& bytes) {
    fs::path temporario;
    std::error_code erro;
    ArquivoAberto arquivo = criaArquivoAoLado(caminho, temporario, erro);
    if (!erro) erro = arquivo.grava(bytes);
    bool eraLink = false;
    if (!erro) erro = substituiArquivoSeNaoForLink(temporario, caminho, eraLink);
    if (const std::error_code fechou = arquivo.fecha(); !erro) erro = fechou;
    if (erro) throw std::runtime_error("não gravou " + caminho + ": " + erro.message());
}

// The floor's parts, each alone: reading, writing and deflating the run's work.
int filhoPiso(const std::string& banco, const fs::path& daExecucao, const fs::path& pasta) {
    const auto t0 = RelogioMonotono::now();
    std::size_t linhas = 0;
    {
        Conexao c;
        c.abre(banco);
        Transacao t(c);
        for (const char* tabela : kTabelasFonte) {
            Consulta q(t, std::string("SELECT * FROM ") + tabela);
            linhas += q.abre().size();
        }
    }
    const auto t1 = RelogioMonotono::now();

    // The run's files, in its order, read beforehand: not part of the floor.
    std::vector<std::string> caminhos;
    std::vector<std::string> conteudos;
    {
        std::ifstream lista(daExecucao / "lista.txt");
        std::map<std::string, std::size_t> vistos;
        for (std::string caminho; std::getline(lista, caminho);) {
            const std::string nome = fs::path(caminho).filename().string();
            if (vistos.emplace(nome, caminhos.size()).second) {
                caminhos.push_back((pasta / "saida" / "arquivosXML" / nome).string());
                conteudos.push_back(teste::leArquivo(caminho));
            }
        }
    }
    fs::create_directories(pasta / "saida" / "arquivosXML");
    const auto t2 = RelogioMonotono::now();
    for (std::size_t i = 0; i < caminhos.size(); ++i) salvaComoARun(caminhos[i], conteudos[i]);
    const auto t3 = RelogioMonotono::now();

    // The texts as the run hands them to its packing, from memory: the deflating and the
    // archive's own writes, nothing else.
    ArquivoIni ini(pasta / "config.ini");
    ini.grava(kSecaoGeral, kChaveDatabase, banco);
    ParametrosExportacao p = parametrosDaDemo(ini, pasta / "saida");
    RelogioDaDemo relogio;
    EstadoArquivo estado;
    estado.gravacao = 1796000000;
    const auto t4 = RelogioMonotono::now();
    {
        Empacotamento empacotamento(p, relogio);
        for (std::size_t i = 0; i < caminhos.size(); ++i)
            empacotamento.adiciona(caminhos[i], std::move(conteudos[i]), estado);
        (void)empacotamento.conclui(relogio);
    }
    const auto t5 = RelogioMonotono::now();

    std::printf("piso-leitura %.6f\n", segundos(t0, t1));
    std::printf("piso-linhas %zu\n", linhas);
    std::printf("piso-escrita %.6f\n", segundos(t2, t3));
    std::printf("piso-compactacao %.6f\n", segundos(t4, t5));
    std::printf("piso-arquivos %zu\n", caminhos.size());
    return 0;
}

// ---------- The parent: runs, figures ----------

using Saida = std::multimap<std::string, std::string>;

Saida executaFilho(const std::string& argumentos) {
    const std::string comando =
        "'" + fs::read_symlink("/proc/self/exe").string() + "' " + argumentos;
    FILE* filho = ::popen(comando.c_str(), "r");
    if (filho == nullptr) throw std::runtime_error("não executou " + comando);
    Saida saida;
    char linha[4096];
    while (std::fgets(linha, sizeof linha, filho) != nullptr) {
        std::string texto(linha);
        if (!texto.empty() && texto.back() == '\n') texto.pop_back();
        const auto espaco = texto.find(' ');
        saida.emplace(texto.substr(0, espaco),
                      espaco == std::string::npos ? "" : texto.substr(espaco + 1));
    }
    if (::pclose(filho) != 0) throw std::runtime_error("falhou: " + comando);
    return saida;
}

double numero(const Saida& s, const std::string& chave) {
    const auto it = s.find(chave);
    if (it == s.end()) throw std::runtime_error("sem " + chave);
    return std::stod(it->second);
}

struct Amostras {
    std::vector<double> valores;
    void soma(double v) { valores.push_back(v); }
    double minimo() const { return *std::min_element(valores.begin(), valores.end()); }
    double mediana() const {
        std::vector<double> v = valores;
        std::sort(v.begin(), v.end());
        const std::size_t m = v.size() / 2;
        return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
    }
};

void copia(const fs::path& de, const fs::path& para) {
    fs::copy_file(de, para, fs::copy_options::overwrite_existing);
}

// The machine's load average over the last minute, as /proc/loadavg gives it.
std::string cargaAgora() {
    std::ifstream carga("/proc/loadavg");
    std::string umMinuto;
    carga >> umMinuto;
    return umMinuto;
}

// The figures of one way of running the month (into an empty folder, or over last month's),
// over the executions.
struct Medidas {
    std::map<std::string, Amostras> etapas;
    std::map<std::string, Amostras> memoriaEtapas;
    std::vector<std::string> ordemEtapas;
    Amostras total, cpu, porArquivo, taxa, memoria, razaoPiso, razaoIdeal;
    Saida ultima;

    void soma(const Saida& s, double piso, double ideal) {
        const double t = numero(s, "total");
        const double arquivos = numero(s, "arquivos-total");
        total.soma(t);
        cpu.soma(numero(s, "cpu"));
        taxa.soma(arquivos / t);
        porArquivo.soma(1e6 * t / arquivos);
        memoria.soma(numero(s, "memoria"));
        razaoPiso.soma(t / piso);
        razaoIdeal.soma(t / ideal);
        const auto [de, ate] = s.equal_range("etapa");
        for (auto it = de; it != ate; ++it) {
            const auto espaco = it->second.find(' ');
            const std::string nome = it->second.substr(espaco + 1);
            if (!etapas.contains(nome)) ordemEtapas.push_back(nome);
            etapas[nome].soma(std::stod(it->second.substr(0, espaco)));
        }
        const auto [deM, ateM] = s.equal_range("memoria-etapa");
        for (auto it = deM; it != ateM; ++it) {
            const auto espaco = it->second.find(' ');
            memoriaEtapas[it->second.substr(espaco + 1)].soma(
                std::stod(it->second.substr(0, espaco)));
        }
        ultima = s;
    }
};

// "mínimo  mediana" of each way, side by side.
void linha(const char* rotulo, const std::vector<const Amostras*>& colunas, const char* unidade,
           const char* formato = "%10.2f") {
    std::printf("  %-34s", rotulo);
    for (const Amostras* a : colunas) {
        std::printf(formato, a->minimo());
        std::printf(" ");
        std::printf(formato, a->mediana());
        std::printf("   ");
    }
    std::printf("%s\n", unidade);
}

void medeMotor(const std::string& motor, const std::string& servidor,
               const teste::BancoTeste& modelo, int execucoes) {
    const auto caminhoDo = [&](const fs::path& arquivo) {
        return servidor.empty() ? arquivo.string() : servidor + ":" + arquivo.string();
    };
    Medidas vazia, sobreAnterior;
    Amostras leitura, escrita, compactacao, piso, ideal;
    // Every run's folder stays until the end: deleting a month's files is work for the disk
    // long after the call returns, and it would land on the next run.
    std::vector<std::unique_ptr<teste::PastaTemporaria>> pastas;
    const fs::path banco = modelo.pasta() / "execucao.fdb";
    // Each run on a fresh copy, with what was written before it on the disk.
    const auto executa = [&](const std::string& argumentos, std::string& carga) {
        copia(modelo.arquivo(), banco);
        ::sync();
        carga = cargaAgora();
        return executaFilho(argumentos);
    };
    for (int e = 1; e <= execucoes; ++e) {
        pastas.push_back(std::make_unique<teste::PastaTemporaria>());
        const std::string pasta = pastas.back()->caminho().string();
        const std::string exporta = "--filho-exporta '" + caminhoDo(banco) + "' '" + pasta + "'";
        std::string cargaVazia, cargaAnterior, cargaPiso;
        const Saida s = executa(exporta, cargaVazia);
        if (numero(s, "zip") != 1) throw std::runtime_error("a exportação não gravou o zip");
        // The same folder again: it holds the files of the run before, as last month's.
        const Saida sa = executa(exporta, cargaAnterior);
        if (numero(sa, "zip") != 1) throw std::runtime_error("a exportação não gravou o zip");
        pastas.push_back(std::make_unique<teste::PastaTemporaria>());
        const Saida sp = executa("--filho-piso '" + caminhoDo(banco) + "' '" + pasta + "' '" +
                                     pastas.back()->caminho().string() + "'",
                                 cargaPiso);
        const double l = numero(sp, "piso-leitura");
        const double w = numero(sp, "piso-escrita");
        const double z = numero(sp, "piso-compactacao");
        const double p = l + w + z;
        const double i = std::max({l, w, z, p / 2});
        leitura.soma(l);
        escrita.soma(w);
        compactacao.soma(z);
        piso.soma(p);
        ideal.soma(i);
        vazia.soma(s, p, i);
        sobreAnterior.soma(sa, p, i);
        const double arquivos = numero(s, "arquivos-total");
        std::printf(
            "  execução %d: pasta vazia %.2f s (CPU %.2f s, %.0f arquivos/s, %.1f MiB, carga "
            "%s); sobre o mês anterior %.2f s (CPU %.2f s, %.0f arquivos/s, %.1f MiB, carga "
            "%s); piso %.2f s, ideal %.2f s (carga %s)\n",
            e, numero(s, "total"), numero(s, "cpu"), arquivos / numero(s, "total"),
            numero(s, "memoria"), cargaVazia.c_str(), numero(sa, "total"), numero(sa, "cpu"),
            arquivos / numero(sa, "total"), numero(sa, "memoria"), cargaAnterior.c_str(), p, i,
            cargaPiso.c_str());
        std::fflush(stdout);
    }
    fs::remove(banco);

    std::printf("\n%s — mínimo e mediana de %d execuções\n", motor.c_str(), execucoes);
    std::printf("  arquivos:            %.0f (", numero(vazia.ultima, "arquivos-total"));
    const auto [de, ate] = vazia.ultima.equal_range("arquivos");
    for (auto it = de; it != ate; ++it)
        std::printf("%s%s", it == de ? "" : ", ", it->second.c_str());
    std::printf(")\n");
    std::printf("  %-34s%21s   %21s\n", "", "pasta vazia", "sobre o mês anterior");
    std::printf("  %-34s%10s %10s   %10s %10s\n", "", "mínimo", "mediana", "mínimo", "mediana");
    const auto ambas = [&](const char* rotulo, Amostras Medidas::*campo, const char* unidade,
                           const char* formato = "%10.2f") {
        linha(rotulo, {&(vazia.*campo), &(sobreAnterior.*campo)}, unidade, formato);
    };
    ambas("execução inteira", &Medidas::total, "s");
    ambas("tempo de CPU do processo", &Medidas::cpu, "s");
    // The best rate is that of the shortest run.
    std::printf("  %-34s", "vazão");
    for (const Medidas* m : {&vazia, &sobreAnterior})
        std::printf("%10.0f %10.0f   ",
                    *std::max_element(m->taxa.valores.begin(), m->taxa.valores.end()),
                    m->taxa.mediana());
    std::printf("arquivos/s\n");
    ambas("por arquivo", &Medidas::porArquivo, "µs", "%10.1f");
    ambas("pico de memória", &Medidas::memoria, "MiB", "%10.1f");
    for (const std::string& nome : vazia.ordemEtapas)
        if (sobreAnterior.etapas.contains(nome))
            linha(nome.c_str(), {&vazia.etapas[nome], &sobreAnterior.etapas[nome]}, "s");
    std::printf("  pico de memória ao fim de cada etapa:\n");
    for (const std::string& nome : vazia.ordemEtapas)
        if (vazia.memoriaEtapas.contains(nome) && sobreAnterior.memoriaEtapas.contains(nome))
            linha(("  " + nome).c_str(),
                  {&vazia.memoriaEtapas[nome], &sobreAnterior.memoriaEtapas[nome]}, "MiB",
                  "%10.1f");
    ambas("execução / piso", &Medidas::razaoPiso, "×");
    ambas("execução / ideal", &Medidas::razaoIdeal, "×");
    Amostras razaoAnterior;
    for (std::size_t k = 0; k < vazia.total.valores.size(); ++k)
        razaoAnterior.soma(sobreAnterior.total.valores[k] / vazia.total.valores[k]);
    std::printf("  %-34s%10.2f %10.2f   ×\n", "sobre o mês anterior / pasta vazia",
                razaoAnterior.minimo(), razaoAnterior.mediana());
    linha("piso: leitura (uma por tabela)", {&leitura}, "s");
    linha("piso: escrita dos arquivos", {&escrita}, "s");
    linha("piso: compactação da memória", {&compactacao}, "s");
    linha("piso (as partes em sequência)", {&piso}, "s");
    linha("ideal (em dois núcleos)", {&ideal}, "s");
    std::fflush(stdout);
}

int uso() {
    std::fprintf(stderr,
                 "uso: bench_exportacao [--cidadaos N] [--domicilios N] [--atendimentos N] "
                 "[--odontologicos N] [--procedimentos N] [--visitas N] [--encontros N] "
                 "[--execucoes N] [--escala F] [--servidor HOST/PORTA] [--so-servidor] "
                 "[--tmpfs] [--pequeno]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        // As the programs' main does: the runs measured are theirs.
        preparaProcesso();
        if (args.size() == 3 && args[0] == "--filho-exporta") return filhoExporta(args[1], args[2]);
        if (args.size() == 4 && args[0] == "--filho-piso")
            return filhoPiso(args[1], args[2], args[3]);

        Tamanhos n;
        int execucoes = 3;
        std::string servidor;
        bool soServidor = false;
        const std::map<std::string, int*> opcoes = {
            {"--cidadaos", &n.cidadaos},           {"--domicilios", &n.domicilios},
            {"--atendimentos", &n.atendimentos},   {"--odontologicos", &n.odontologicos},
            {"--procedimentos", &n.procedimentos}, {"--visitas", &n.visitas},
            {"--encontros", &n.encontros},         {"--execucoes", &execucoes}};
        for (std::size_t i = 0; i < args.size(); ++i) {
            if (args[i] == "--pequeno" || (args[i] == "--escala" && i + 1 < args.size())) {
                const double fator = args[i] == "--pequeno" ? 0.01 : std::stod(args[++i]);
                for (int* v : {&n.cidadaos, &n.domicilios, &n.atendimentos, &n.odontologicos,
                               &n.procedimentos, &n.visitas, &n.encontros})
                    *v = std::max(2, static_cast<int>(*v * fator));
                if (args[i] == "--pequeno") execucoes = 1;
            } else if (args[i] == "--tmpfs") {
                // Before any folder is made: the databases and the runs' folders go there.
                ::setenv("TMPDIR", "/dev/shm", 1);
            } else if (args[i] == "--so-servidor") {
                soServidor = true;
            } else if (args[i] == "--servidor" && i + 1 < args.size()) {
                servidor = args[++i];
            } else if (auto it = opcoes.find(args[i]); it != opcoes.end() && i + 1 < args.size()) {
                *it->second = std::stoi(args[++i]);
            } else {
                return uso();
            }
        }
        if (execucoes < 1 || (soServidor && servidor.empty())) return uso();

        std::printf("máquina: %ld núcleos; carga média ao começar: ",
                    sysconf(_SC_NPROCESSORS_ONLN));
        {
            std::ifstream carga("/proc/loadavg");
            std::string a, b, c;
            carga >> a >> b >> c;
            std::printf("%s %s %s\n", a.c_str(), b.c_str(), c.c_str());
        }
        {
            const fs::path temporaria = fs::temp_directory_path();
            struct statfs sistema {};
            const bool emMemoria =
                ::statfs(temporaria.c_str(), &sistema) == 0 && sistema.f_type == 0x01021994;
            std::printf("pastas em %s (%s)\n", temporaria.c_str(),
                        emMemoria ? "tmpfs, na memória" : "disco");
        }
        std::printf(
            "mês: %d cidadãos e %d domicílios a enviar, %d atendimentos médicos, %d "
            "odontológicos, %d com procedimentos, %d visitas, %d encontros (e as linhas da demo)\n",
            n.cidadaos, n.domicilios, n.atendimentos, n.odontologicos, n.procedimentos, n.visitas,
            n.encontros);
        std::fflush(stdout);

        teste::BancoTeste modelo(teste::Conteudo::Demonstracao);
        modelo.desconecta();
        const auto c0 = RelogioMonotono::now();
        populaMes(modelo.arquivo().string(), n);
        std::printf("carga: %.1f s (não medida)\n", segundos(c0, RelogioMonotono::now()));
        std::fflush(stdout);

        if (!soServidor) {
            std::printf("\nembarcado\n");
            medeMotor("embarcado", "", modelo, execucoes);
        }
        if (!servidor.empty()) {
            std::printf("\nservidor %s (TCP)\n", servidor.c_str());
            medeMotor("servidor " + servidor, servidor, modelo, execucoes);
        }
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_exportacao: %s\n", e.what());
        return 1;
    }
}
