#include "export/empacotamento.hpp"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <deque>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
#include <regex>
#include <sstream>
#include <string_view>
#include <system_error>
#include <thread>
#include <unordered_set>
#include <utility>

#include "comum/erro.hpp"
#include "comum/plataforma_hora.hpp"
#include "export/arquivos.hpp"

namespace cds {

namespace {

namespace fs = std::filesystem;

constexpr char kSeparador = static_cast<char>(fs::path::preferred_separator);

std::string comZeros(long valor, std::size_t largura) {
    std::string texto = std::to_string(valor);
    if (texto.size() < largura) texto.insert(0, largura - texto.size(), '0');
    return texto;
}

std::string ddMMyyyy(long dia, long mes, long ano) {
    return comZeros(dia, 2) + comZeros(mes, 2) + comZeros(ano, 4);
}

std::string ddMMyyyy(const std::chrono::year_month_day& data) {
    return ddMMyyyy(static_cast<unsigned>(data.day()), static_cast<unsigned>(data.month()),
                    static_cast<int>(data.year()));
}

}  // namespace

std::string nomeArquivoZip(const ParametrosExportacao& parametros, const DataHora& agora) {
    return parametros.Caminho + kSeparador + "FichasValmo_" +
           ddMMyyyy(agora.dia, agora.mes, agora.ano) + "_" + comZeros(agora.hora, 2) +
           comZeros(agora.minuto, 2) + "_" + ddMMyyyy(parametros.DataInicial) + "_" +
           ddMMyyyy(parametros.DataFinal) + ".zip";
}

namespace {

// The archive's file before it is whole: a hidden name beside the final one, made unique, so
// that neither a crash nor a full disk leaves a broken archive under an archive's name. Removed
// on the way out unless it has been put in place.
//
// It is created new (never a file or link that was at its name) and kept open: the archive is
// written through this same open file, never by its name again.
class ArquivoTemporario {
  public:
    // Hidden beside `final`, the archive's name as far as it is known.
    explicit ArquivoTemporario(const std::string& final) : final(final) {
        fs::path criado;
        std::error_code erro;
        arquivo = criaArquivoAoLado(final, criado, erro);
        if (erro)
            throw ErroArquivo(mensagemComMotivo("Não foi possível criar o arquivo " + final, erro));
        caminho = criado.string();
    }
    ~ArquivoTemporario() { remove(); }
    ArquivoTemporario(const ArquivoTemporario&) = delete;
    ArquivoTemporario& operator=(const ArquivoTemporario&) = delete;

    const std::string& nomeFinal() const { return final; }
    ArquivoAberto& aberto() { return arquivo; }

    // An archive begun before the moment that names it is put in place under that name.
    void renomeiaFinal(const std::string& nome) { final = nome; }

    // Gone before its owner goes.
    void remove() {
        arquivo = ArquivoAberto();
        std::error_code ec;
        if (!caminho.empty()) fs::remove(caminho, ec);
        caminho.clear();
    }

    // Gives the file the final name, or the first free one after it, without replacing
    // anything; returns the name taken.
    std::string poeNoLugar() {
        sincroniza(arquivo.sincroniza());
        const std::string base = final.substr(0, final.size() - 4);
        for (int n = 1; n < 10000; ++n) {
            const std::string nome = n == 1 ? final : base + "_" + std::to_string(n) + ".zip";
            std::error_code erro;
            if (renomeiaSemSubstituir(caminho, nome, erro)) {
                // Still removed on failure until the new name has reached the disk, before
                // the run commits.
                caminho = nome;
                sincroniza(sincronizaPasta(fs::path(nome).parent_path()));
                caminho.clear();
                return nome;
            }
            if (erro)
                throw ErroArquivo(
                    mensagemComMotivo("Não foi possível gravar o arquivo " + nome, erro));
        }
        throw ErroArquivo("Não há um nome livre para o arquivo " + final + ".");
    }

  private:
    // What was written reaches the disk, or the packing fails.
    void sincroniza(const std::error_code& erro) const {
        if (erro)
            throw ErroArquivo(
                mensagemComMotivo("Não foi possível gravar o arquivo " + final, erro));
    }

    std::string final;
    std::string caminho;
    ArquivoAberto arquivo;
};

// The archive as libarchive writes it: each entry front to back as it is given, through one
// buffer to the open hidden file, the directory and the end records (Zip64 ones past 65,535
// entries) at `fecha`. A writer that streams, never seeking back nor holding an entry, is what
// lets the entries be written while the run goes on: a zip library that writes at close (libzip)
// would keep every record until then, and minizip 1.1 cannot end an archive of many entries.
class ArquivoZip {
  public:
    explicit ArquivoZip(ArquivoTemporario& destino) : destino(destino), zip(archive_write_new()) {
        // Blocks of 16 KiB to the file, the last one not padded: few writes, and the archive
        // grows on the disk while the run goes on.
        if (zip == nullptr || archive_write_set_format_zip(zip) != ARCHIVE_OK ||
            archive_write_set_format_option(zip, "zip", "compression", "deflate") != ARCHIVE_OK ||
            archive_write_set_bytes_per_block(zip, 16 * 1024) != ARCHIVE_OK ||
            archive_write_set_bytes_in_last_block(zip, 1) != ARCHIVE_OK ||
            archive_write_open2(zip, this, nullptr, grava, nullptr, nullptr) != ARCHIVE_OK)
            throw falha();
    }
    ~ArquivoZip() {
        // Without `fecha`, the archive is being thrown away: the library still ends it, so that
        // it frees what it holds (it frees nothing of a writer it was told failed), but nothing
        // more reaches the file.
        descartando = true;
        if (!fechado) archive_write_close(zip);
        archive_write_free(zip);
    }
    ArquivoZip(const ArquivoZip&) = delete;
    ArquivoZip& operator=(const ArquivoZip&) = delete;

    void adiciona(const std::string& nome, std::string_view conteudo, std::int64_t gravacao) {
        struct Entrada {
            archive_entry* e = archive_entry_new();
            ~Entrada() { archive_entry_free(e); }
        } entrada;
        archive_entry_set_pathname(entrada.e, nome.c_str());
        archive_entry_set_filetype(entrada.e, AE_IFREG);
        archive_entry_set_perm(entrada.e, 0600);
        archive_entry_set_size(entrada.e, static_cast<la_int64_t>(conteudo.size()));
        archive_entry_set_mtime(entrada.e, static_cast<std::time_t>(gravacao), 0);
        if (archive_write_header(zip, entrada.e) != ARCHIVE_OK || erroDoSistema) throw falha();
        if (!conteudo.empty() && archive_write_data(zip, conteudo.data(), conteudo.size()) !=
                                     static_cast<la_ssize_t>(conteudo.size()))
            throw falha();
        if (archive_write_finish_entry(zip) != ARCHIVE_OK || erroDoSistema) throw falha();
    }

    // Writes the directory and the end records; only after this is the archive whole.
    void fecha() {
        fechado = true;
        if (archive_write_close(zip) != ARCHIVE_OK || erroDoSistema) throw falha();
    }

  private:
    static la_ssize_t grava(archive*, void* cliente, const void* bytes, std::size_t tamanho) {
        // A refused write is kept here and told by the call that led to it, not to the library:
        // a writer it takes as failed can only be freed with what it holds lost.
        auto* self = static_cast<ArquivoZip*>(cliente);
        if (!self->descartando && !self->erroDoSistema)
            self->erroDoSistema =
                self->destino.aberto().grava({static_cast<const char*>(bytes), tamanho});
        return static_cast<la_ssize_t>(tamanho);
    }

    // The system's error where the file refused a write (a full disk says so), else the
    // library's own words.
    ErroArquivo falha() const {
        const std::string texto = "Não foi possível gravar o arquivo " + destino.nomeFinal();
        if (erroDoSistema || zip == nullptr)
            return ErroArquivo(mensagemComMotivo(texto, erroDoSistema));
        const char* motivo = archive_error_string(zip);
        return ErroArquivo(texto + (motivo ? ": " + std::string(motivo) : std::string()) + ".");
    }

    ArquivoTemporario& destino;
    archive* zip;
    std::error_code erroDoSistema;
    bool fechado = false;
    bool descartando = false;
};

}  // namespace

// The thread that writes the archive, fed by a queue. Files wait there as they are given and
// are taken a batch at a time: enough to keep the thread busy, few enough to stay a few MiB.
class Empacotamento::Escritor {
  public:
    explicit Escritor(const std::string& provisorio) : temporario(provisorio), zip(temporario) {
        thread = std::thread([this] { escreve(); });
    }
    ~Escritor() {
        {
            std::lock_guard<std::mutex> trava(mutex);
            parar = true;
        }
        temPedido.notify_one();
        if (thread.joinable()) thread.join();
    }
    Escritor(const Escritor&) = delete;
    Escritor& operator=(const Escritor&) = delete;

    void adiciona(std::string nome, std::string texto, std::int64_t gravacao) {
        std::unique_lock<std::mutex> trava(mutex);
        temVaga.wait(trava, [this] { return fila.size() < kFila || erro; });
        if (erro) std::rethrow_exception(erro);
        fila.push_back({std::move(nome), std::move(texto), gravacao});
        if (fila.size() == kLote) temPedido.notify_one();
    }

    // Once the last file has been given: the thread writes every entry and the directory.
    void fecha() {
        {
            std::lock_guard<std::mutex> trava(mutex);
            fim = true;
        }
        temPedido.notify_one();
        thread.join();
        if (erro) std::rethrow_exception(erro);
    }

    ArquivoTemporario temporario;

  private:
    // The thread is woken a batch at a time, not for every file: a wake-up costs both threads
    // more than deflating a file.
    static constexpr std::size_t kFila = 512;
    static constexpr std::size_t kLote = 64;
    static constexpr std::chrono::milliseconds kEspera{20};

    struct Pedido {
        std::string nome;
        std::string texto;
        std::int64_t gravacao;
    };

    void escreve() {
        std::deque<Pedido> lote;
        try {
            for (;;) {
                {
                    std::unique_lock<std::mutex> trava(mutex);
                    // A batch, or whatever came within a moment: no file waits long.
                    temPedido.wait_for(trava, kEspera,
                                       [this] { return fila.size() >= kLote || fim || parar; });
                    if (parar) return;
                    if (fila.empty() && fim) break;
                    lote.swap(fila);
                }
                temVaga.notify_all();
                for (const Pedido& p : lote) {
                    hashes.push_back(std::hash<std::string>{}(p.nome));
                    zip.adiciona(p.nome, p.texto, p.gravacao);
                }
                lote.clear();
            }
            verificaNomesUnicos();
            zip.fecha();
        } catch (const std::exception&) {
            std::lock_guard<std::mutex> trava(mutex);
            erro = std::current_exception();
            // On a full disk the hidden archive's room is the records': it goes at once.
            temporario.remove();
            temVaga.notify_all();
        }
    }

    // A name written twice: a path given again after other files. Told apart by a 64-bit hash
    // of each name, 8 bytes an entry, where a set of the names would take some 100 (35 MiB at a
    // month's 355,550 files); two names of one hash (about one month in 10^8) fail the run too.
    void verificaNomesUnicos() {
        std::sort(hashes.begin(), hashes.end());
        if (std::adjacent_find(hashes.begin(), hashes.end()) != hashes.end())
            throw ErroArquivo(
                "Um arquivo de ficha foi gravado de novo depois de outros, e o "
                "arquivo " +
                temporario.nomeFinal() + " ficaria com a gravação anterior dele.");
    }

    ArquivoZip zip;
    std::vector<std::size_t> hashes;

    std::mutex mutex;
    std::condition_variable temPedido;
    std::condition_variable temVaga;
    std::deque<Pedido> fila;
    bool fim = false;
    bool parar = false;
    std::exception_ptr erro;
    std::thread thread;
};

Empacotamento::Empacotamento(const ParametrosExportacao& parametros, const Relogio& relogio)
    : parametros(parametros),
      escritor(std::make_unique<Escritor>(nomeArquivoZip(parametros, relogio.agora()))) {}

Empacotamento::~Empacotamento() = default;

void Empacotamento::adiciona(const std::string& caminho, std::string texto,
                             const std::optional<EstadoArquivo>& estado) {
    if (!estado) throw ErroArquivo("Não foi possível ler a data do arquivo " + caminho + ".");
    if (!caminhoPendente.empty() && caminhoPendente != caminho)
        escritor->adiciona(fs::path(caminhoPendente).filename().string(), std::move(textoPendente),
                           gravacaoPendente);
    caminhoPendente = caminho;
    textoPendente = std::move(texto);
    gravacaoPendente = estado->gravacao;
}

std::string Empacotamento::conclui(const Relogio& relogio, const Cancelamento* cancelamento) {
    if (!caminhoPendente.empty())
        escritor->adiciona(fs::path(caminhoPendente).filename().string(), std::move(textoPendente),
                           gravacaoPendente);
    caminhoPendente.clear();
    escritor->fecha();
    if (cancelamento) cancelamento->verifica();
    ArquivoTemporario& temporario = escritor->temporario;
    temporario.renomeiaFinal(nomeArquivoZip(parametros, relogio.agora()));
    return temporario.poeNoLugar();
}

std::string zipaXML(const ParametrosExportacao& parametros,
                    const std::vector<std::string>& ListaArquivos, Operador& operador,
                    const Relogio& relogio, const Cancelamento* cancelamento) {
    operador.status("Compactando Arquivo...");
    Empacotamento empacotamento(parametros, relogio);
    // A file saved twice in a run is listed twice but is one file, as the disk holds it now.
    std::unordered_set<std::string> empacotados;
    for (const std::string& caminho : ListaArquivos) {
        if (cancelamento) cancelamento->verifica();
        if (!empacotados.insert(caminho).second) continue;
        const fs::path arquivo(caminho);
        const std::optional<EstadoArquivo> estado = estadoArquivo(arquivo);
        std::ifstream entrada(arquivo, std::ios::binary);
        if (!estado || !entrada)
            throw ErroArquivo("O arquivo " + caminho +
                              ", gerado nesta exportação, não foi encontrado para ser compactado.");
        std::ostringstream texto;
        texto << entrada.rdbuf();
        if (entrada.bad()) throw ErroArquivo("Não foi possível ler o arquivo " + caminho + ".");
        empacotamento.adiciona(caminho, std::move(texto).str(), estado);
    }
    return empacotamento.conclui(relogio, cancelamento);
}

void removeArquivosIncompletos(const std::string& Caminho,
                               const std::function<void(const std::string&)>& log) {
    // nomeArquivoZip's name as criaArquivoAoLado hides it: a dot before, and the writer's
    // process, a count and a random number after.
    // The report's hidden files are made beside "FichasValmo_relatorio" in the same way.
    static const std::regex incompleto(
        R"(\.FichasValmo_([0-9]{8}_[0-9]{4}_[0-9]{8}_[0-9]{8}\.zip|relatorio)\.[0-9]+-[0-9]+-[0-9]+)");
    std::error_code erro;
    fs::directory_iterator item(fs::path(Caminho), erro);
    for (; !erro && item != fs::directory_iterator(); item.increment(erro)) {
        const fs::path& arquivo = item->path();
        if (!std::regex_match(arquivo.filename().string(), incompleto)) continue;
        // The packing writes a plain file; a link or a folder of that name is someone else's.
        std::error_code tipo;
        if (!fs::is_regular_file(fs::symlink_status(arquivo, tipo))) continue;
        std::error_code remocao;
        fs::remove(arquivo, remocao);
        log(remocao ? "Não foi possível apagar o arquivo incompleto " + arquivo.string() +
                          ", de uma exportação interrompida: " + motivoDoSistema(remocao) +
                          ". Apague-o à mão."
                    : "Removido o arquivo incompleto " + arquivo.string() +
                          ", de uma exportação interrompida.");
    }
    if (erro)
        log("Não foi possível procurar na pasta " + Caminho +
            " os arquivos incompletos de exportações interrompidas: " + motivoDoSistema(erro) +
            ".");
}

void avisaArquivoGerado(Operador& operador) {
    operador.status("Concluído!");
    operador.mensagem("Arquivo de importação do esus gerado com sucesso!", "Informação!",
                      TipoMensagem::Informacao);
    operador.status("");
}

}  // namespace cds
