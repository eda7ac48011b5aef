#include "export/empacotamento.hpp"

#include <minizip/unzip.h>
#include <minizip/zip.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <regex>
#include <string_view>
#include <system_error>
#include <thread>
#include <unordered_set>
#include <utility>

#include "comum/erro.hpp"
#include "comum/plataforma_arquivos.hpp"
#include "comum/plataforma_hora.hpp"
#include "comum/plataforma_tarefa.hpp"
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

std::string mensagemDoErro(const std::string& texto, const std::error_code& erro) {
    if (!erro) return texto + ".";
    return texto + ": " + motivoDoSistema(erro) + ".";
}

// errno as minizip's C library calls left it: a full disk says so.
std::error_code erroDaBiblioteca() {
    return {errno, std::generic_category()};
}

std::string nomeDoArquivo(const ParametrosExportacao& parametros, const DataHora& agora) {
    return parametros.Caminho + kSeparador + "FichasValmo_" +
           ddMMyyyy(agora.dia, agora.mes, agora.ano) + "_" + comZeros(agora.hora, 2) +
           comZeros(agora.minuto, 2) + "_" + ddMMyyyy(parametros.DataInicial) + "_" +
           ddMMyyyy(parametros.DataFinal) + ".zip";
}

// A last-write time as local civil time, in the range a zip header can hold.
tm_zip dataZip(std::time_t t) {
    const std::tm local = horaLocal(t);
    tm_zip data{};
    const int ano = local.tm_year + 1900;
    if (ano < 1980) {
        // Before the DOS epoch: the earliest date the header can say.
        data.tm_year = 1980;
        data.tm_mday = 1;
        return data;
    }
    data.tm_year = static_cast<uInt>(std::min(ano, 2107));
    data.tm_mon = static_cast<uInt>(local.tm_mon);
    data.tm_mday = static_cast<uInt>(local.tm_mday);
    data.tm_hour = static_cast<uInt>(local.tm_hour);
    data.tm_min = static_cast<uInt>(local.tm_min);
    data.tm_sec = static_cast<uInt>(local.tm_sec);
    return data;
}

tm_zip dataDoArquivo(const fs::path& arquivo) {
    std::error_code ec;
    const fs::file_time_type quando = fs::last_write_time(arquivo, ec);
    if (ec)
        throw ErroArquivo(
            mensagemDoErro("Não foi possível ler a data do arquivo " + arquivo.string(), ec));
    return dataZip(std::chrono::system_clock::to_time_t(std::chrono::file_clock::to_sys(quando)));
}

// The archive's file before it is whole: a hidden name beside the final one, made unique, so
// that neither a crash nor a full disk leaves a broken archive under an archive's name. Removed
// on the way out unless it has been put in place.
//
// It is created new (never a file or link that was at its name) and kept open: minizip reads
// and writes it through a stream over this same open file, never by its name again.
class ArquivoTemporario {
  public:
    // Hidden beside `final`, the archive's name as far as it is known.
    explicit ArquivoTemporario(const std::string& final) : final(final) {
        fs::path criado;
        std::error_code erro;
        arquivo = criaArquivoAoLado(final, criado, erro);
        if (erro)
            throw ErroArquivo(mensagemDoErro("Não foi possível criar o arquivo " + final, erro));
        caminho = criado.string();
    }
    ~ArquivoTemporario() { remove(); }
    ArquivoTemporario(const ArquivoTemporario&) = delete;
    ArquivoTemporario& operator=(const ArquivoTemporario&) = delete;

    const std::string& nome() const { return caminho; }
    ArquivoAberto& aberto() { return arquivo; }

    // A new stdio stream over the open file, the caller's to close.
    std::FILE* fluxo() const {
        std::error_code erro;
        std::FILE* f = arquivo.fluxo(erro);
        if (f == nullptr)
            throw ErroArquivo(mensagemDoErro("Não foi possível gravar o arquivo " + final, erro));
        return f;
    }

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
                    mensagemDoErro("Não foi possível gravar o arquivo " + nome, erro));
        }
        throw ErroArquivo("Não há um nome livre para o arquivo " + final + ".");
    }

  private:
    // What was written reaches the disk, or the packing fails.
    void sincroniza(const std::error_code& erro) const {
        if (erro)
            throw ErroArquivo(mensagemDoErro("Não foi possível gravar o arquivo " + final, erro));
    }

    std::string final;
    std::string caminho;
    ArquivoAberto arquivo;
};

// minizip's own stdio functions, given a stream already open instead of opening one by name.
voidpf ZCALLBACK fluxoJaAberto(voidpf fluxo, const void*, int) {
    return fluxo;
}

// The functions for zipOpen2_64 and unzOpen2_64 over a new stream on `arquivo`, which the
// library then owns and closes.
zlib_filefunc64_def funcoesSobre(const ArquivoTemporario& arquivo) {
    zlib_filefunc64_def funcoes{};
    fill_fopen64_filefunc(&funcoes);
    funcoes.zopen64_file = fluxoJaAberto;
    funcoes.opaque = arquivo.fluxo();
    return funcoes;
}

void poeInteiro(std::string& bytes, std::uint64_t valor, int largura) {
    for (int i = 0; i < largura; ++i) bytes += static_cast<char>((valor >> (8 * i)) & 0xFF);
}

std::uint64_t leInteiro(const unsigned char* bytes, int largura) {
    std::uint64_t valor = 0;
    for (int i = largura - 1; i >= 0; --i) valor = (valor << 8) | bytes[i];
    return valor;
}

// minizip 1.1, as Debian ships it, writes the Zip64 end records only when the directory
// starts past 4 GiB, and past 65,534 entries its classic end record says 0xFFFF entries with
// nothing after to give the number: zip tools then reject the archive. The two records are
// put in before the classic one, which then points to them as the format says. An archive
// that has them already is left as it is.
void completaFimZip64(ArquivoAberto& zip, std::uint64_t entradas, const std::string& final) {
    constexpr std::size_t kFim = 22, kLocalizador = 20;
    const auto falha = [&](const std::error_code& erro) {
        return ErroArquivo(mensagemDoErro("Não foi possível gravar o arquivo " + final, erro));
    };
    const auto estragado = std::make_error_code(std::errc::io_error);
    std::error_code erro;
    const std::uint64_t tamanho = zip.tamanho(erro);
    if (erro) throw falha(erro);
    if (tamanho < kFim + kLocalizador) throw falha(estragado);
    unsigned char cauda[kFim + kLocalizador];
    erro = zip.leEm(tamanho - sizeof cauda, cauda, sizeof cauda);
    if (erro) throw falha(erro);
    const unsigned char* fim = cauda + kLocalizador;
    if (leInteiro(fim, 4) != 0x06054b50 || leInteiro(fim + 20, 2) != 0) throw falha(estragado);
    if (leInteiro(cauda, 4) == 0x07064b50) return;
    const std::uint64_t tamanhoDiretorio = leInteiro(fim + 12, 4);
    const std::uint64_t inicioDiretorio = leInteiro(fim + 16, 4);
    const std::uint64_t posicao = tamanho - kFim;
    if (inicioDiretorio + tamanhoDiretorio != posicao) throw falha(estragado);

    std::string registros;
    poeInteiro(registros, 0x06064b50, 4);  // Zip64 end of central directory
    poeInteiro(registros, 44, 8);          // size of what follows
    poeInteiro(registros, 45, 2);          // made by: 4.5
    poeInteiro(registros, 45, 2);          // needed: 4.5
    poeInteiro(registros, 0, 4);           // this disk
    poeInteiro(registros, 0, 4);           // disk of the directory
    poeInteiro(registros, entradas, 8);    // entries on this disk
    poeInteiro(registros, entradas, 8);    // entries in all
    poeInteiro(registros, tamanhoDiretorio, 8);
    poeInteiro(registros, inicioDiretorio, 8);
    poeInteiro(registros, 0x07064b50, 4);  // its locator
    poeInteiro(registros, 0, 4);           // disk of the Zip64 end record
    poeInteiro(registros, posicao, 8);     // where it starts
    poeInteiro(registros, 1, 4);           // disks in all
    poeInteiro(registros, 0x06054b50, 4);  // the classic end record
    poeInteiro(registros, 0, 4);           // disks
    poeInteiro(registros, 0xFFFF, 2);      // entries: in the Zip64 record
    poeInteiro(registros, 0xFFFF, 2);
    poeInteiro(registros, tamanhoDiretorio, 4);
    poeInteiro(registros, inicioDiretorio, 4);
    poeInteiro(registros, 0, 2);  // no comment
    erro = zip.gravaEm(posicao, registros);
    if (erro) throw falha(erro);
}

// The archive being written. Left without `fecha`, as when an error stops the packing, it is
// closed as far as it got.
class ArquivoZip {
  public:
    ArquivoZip(ArquivoTemporario& destino, const std::string& final)
        : destino(destino), final(final) {
        zlib_filefunc64_def funcoes = funcoesSobre(destino);
        errno = 0;
        zip = zipOpen2_64(destino.nome().c_str(), APPEND_STATUS_CREATE, nullptr, &funcoes);
        if (zip == nullptr)
            throw ErroArquivo(
                mensagemDoErro("Não foi possível criar o arquivo " + final, erroDaBiblioteca()));
    }
    ~ArquivoZip() { abandona(); }
    ArquivoZip(const ArquivoZip&) = delete;
    ArquivoZip& operator=(const ArquivoZip&) = delete;

    // The name the archive is to have, for the messages.
    void renomeiaFinal(const std::string& nome) { final = nome; }

    // Closed as far as it got, without a word: the archive is being thrown away.
    void abandona() {
        if (zip != nullptr) zipClose(zip, nullptr);
        zip = nullptr;
    }

    void adiciona(const fs::path& arquivo) {
        std::error_code ec;
        if (!fs::is_regular_file(arquivo, ec))
            throw ErroArquivo("O arquivo " + arquivo.string() +
                              ", gerado nesta exportação, não foi encontrado para ser compactado.");
        errno = 0;
        std::ifstream entrada(arquivo, std::ios::binary);
        if (!entrada)
            throw ErroArquivo(mensagemDoErro("Não foi possível ler o arquivo " + arquivo.string(),
                                             erroDaBiblioteca()));
        const std::uintmax_t tamanho = fs::file_size(arquivo, ec);
        abreEntrada(arquivo.filename().string(), dataDoArquivo(arquivo),
                    !ec && tamanho >= 0xFFFFFFFFu);
        std::vector<char> bloco(kBloco);
        std::error_code erroDeLeitura;
        while (entrada) {
            errno = 0;
            entrada.read(bloco.data(), static_cast<std::streamsize>(bloco.size()));
            if (entrada.bad()) erroDeLeitura = erroDaBiblioteca();
            const std::streamsize lidos = entrada.gcount();
            if (lidos > 0) escreve(bloco.data(), static_cast<std::size_t>(lidos));
        }
        if (!entrada.eof()) {
            throw ErroArquivo(mensagemDoErro("Não foi possível ler o arquivo " + arquivo.string(),
                                             erroDeLeitura));
        }
        fechaEntrada();
    }

    // The same entry from the file's content already in memory: deflate is fed the blocks a
    // read of the file would give, so the bytes are those of `adiciona`.
    void adiciona(const std::string& nome, std::string_view conteudo, const tm_zip& data) {
        abreEntrada(nome, data, conteudo.size() >= 0xFFFFFFFFu);
        for (std::size_t inicio = 0; inicio < conteudo.size(); inicio += kBloco)
            escreve(conteudo.data() + inicio, std::min(kBloco, conteudo.size() - inicio));
        fechaEntrada();
    }

    // The entry `origem` stands at, copied as it is deflated: name, date, CRC and bytes.
    void copiaDeflatada(unzFile origem) {
        unz_file_info64 info{};
        char nome[4096];
        int metodo = 0;
        int nivel = 0;
        if (unzGetCurrentFileInfo64(origem, &info, nome, sizeof nome, nullptr, 0, nullptr, 0) !=
                UNZ_OK ||
            unzOpenCurrentFile2(origem, &metodo, &nivel, 1) != UNZ_OK)
            throw ErroArquivo("Não foi possível reler o arquivo " + final + ".");
        // The text flag deflate set when it wrote the entry goes along.
        zip_fileinfo data{};
        data.dosDate = info.dosDate;
        data.internal_fa = info.internal_fa;
        errno = 0;
        if (zipOpenNewFileInZip2_64(zip, nome, &data, nullptr, 0, nullptr, 0, nullptr, metodo,
                                    Z_DEFAULT_COMPRESSION, 1,
                                    info.uncompressed_size >= 0xFFFFFFFFu ? 1 : 0) != ZIP_OK) {
            unzCloseCurrentFile(origem);
            throw falhaDeGravacao();
        }
        std::vector<char> bloco(kBloco);
        int lidos = 0;
        while ((lidos = unzReadCurrentFile(origem, bloco.data(), kBloco)) > 0)
            escreve(bloco.data(), static_cast<std::size_t>(lidos));
        unzCloseCurrentFile(origem);
        if (lidos < 0) throw ErroArquivo("Não foi possível reler o arquivo " + final + ".");
        errno = 0;
        if (zipCloseFileInZipRaw64(zip, info.uncompressed_size, info.crc) != ZIP_OK)
            throw falhaDeGravacao();
        ++entradas;
    }

    // Writes the directory and the end records; only after this is the archive whole.
    void fecha() {
        errno = 0;
        const int resultado = zipClose(zip, nullptr);
        zip = nullptr;
        if (resultado != ZIP_OK) throw falhaDeGravacao();
        if (entradas >= 0xFFFF) completaFimZip64(destino.aberto(), entradas, final);
    }

  private:
    static constexpr std::size_t kBloco = 64 * 1024;

    void abreEntrada(const std::string& nome, const tm_zip& data, bool zip64) {
        zip_fileinfo info{};
        info.tmz_date = data;
        errno = 0;
        if (zipOpenNewFileInZip64(zip, nome.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                  Z_DEFLATED, Z_DEFAULT_COMPRESSION, zip64 ? 1 : 0) != ZIP_OK) {
            throw falhaDeGravacao();
        }
    }

    void escreve(const char* bytes, std::size_t tamanho) {
        errno = 0;
        if (zipWriteInFileInZip(zip, bytes, static_cast<unsigned>(tamanho)) != ZIP_OK)
            throw falhaDeGravacao();
    }

    void fechaEntrada() {
        errno = 0;
        if (zipCloseFileInZip(zip) != ZIP_OK) throw falhaDeGravacao();
        ++entradas;
    }

    // errno as the failing call left it: a full disk says so.
    ErroArquivo falhaDeGravacao() const {
        return ErroArquivo(
            mensagemDoErro("Não foi possível gravar o arquivo " + final, erroDaBiblioteca()));
    }

    ArquivoTemporario& destino;
    std::string final;
    zipFile zip = nullptr;
    std::uint64_t entradas = 0;
};

void verificaInterrupcao(const Cancelamento* cancelamento) {
    if (cancelamento) cancelamento->verifica();
}

// zipaXML's packing once the archive has its name: every listed file read from the disk, in
// order, a path listed again packed once at its first place. The operator's request to stop
// is heeded before each file and before the archive takes its name. Returns the name taken.
// `quantos` listed paths, the i-th given by `caminhoDe(i)`.
template <class CaminhoDe>
std::string empacotaEmSequencia(const std::string& final, std::size_t quantos, CaminhoDe caminhoDe,
                                const Cancelamento* cancelamento) {
    ArquivoTemporario temporario(final);
    {
        ArquivoZip zip(temporario, final);
        // A file saved twice in a run is listed twice but is one file.
        std::unordered_set<std::string> empacotados;
        for (std::size_t i = 0; i < quantos; ++i) {
            verificaInterrupcao(cancelamento);
            std::string caminho = caminhoDe(i);
            if (empacotados.count(caminho) != 0) continue;
            zip.adiciona(caminho);
            empacotados.insert(std::move(caminho));
        }
        zip.fecha();
    }
    verificaInterrupcao(cancelamento);
    return temporario.poeNoLugar();
}

// What tells one file from another at a path: a file replaced has another inode, and a file
// written, truncated, renamed or given another date or mode has another status-change time.
struct Instantaneo {
    std::uint64_t inode = 0;
    std::int64_t tamanho = -1;
    std::int64_t mudanca = 0;

    friend bool operator==(const Instantaneo&, const Instantaneo&) = default;
};

// The state of each entry written, in the archive's order. Kept in large blocks: no copy of
// the whole as it grows, and no small blocks among the deflater's own, whose coming and going
// would have the allocator hand pages back to the system and take them again all run long.
class Instantaneos {
  public:
    void push_back(const Instantaneo& instantaneo) {
        if (quantos % kPorBloco == 0) blocos.push_back(std::make_unique<Instantaneo[]>(kPorBloco));
        blocos.back()[quantos % kPorBloco] = instantaneo;
        ++quantos;
    }
    std::size_t size() const { return quantos; }
    const Instantaneo& operator[](std::size_t i) const {
        return blocos[i / kPorBloco][i % kPorBloco];
    }

  private:
    static constexpr std::size_t kPorBloco = std::size_t{1} << 16;
    std::vector<std::unique_ptr<Instantaneo[]>> blocos;
    std::size_t quantos = 0;
};

Instantaneo instantaneoDe(const EstadoArquivo& e) {
    return Instantaneo{e.identidade, e.tamanho, e.mudanca};
}

// A regular file's, after symbolic links; nothing when there is none to read at `caminho`.
std::optional<Instantaneo> instantaneo(const std::string& caminho) {
    const std::optional<EstadoArquivo> e = estadoArquivo(fs::path(caminho));
    if (!e) return std::nullopt;
    return instantaneoDe(*e);
}

}  // namespace

std::string zipaXML(const ParametrosExportacao& parametros,
                    const std::vector<std::string>& ListaArquivos, Operador& operador,
                    const Relogio& relogio, const Cancelamento* cancelamento) {
    const std::string nome = nomeDoArquivo(parametros, relogio.agora());
    operador.status("Compactando Arquivo...");
    return empacotaEmSequencia(
        nome, ListaArquivos.size(), [&](std::size_t i) { return ListaArquivos[i]; }, cancelamento);
}

// The thread and the hidden archive it writes. Entries go to the archive as the files come,
// so memory holds a bounded queue of files and a few words per entry, never the month's
// compressed bytes. A path saved again right after itself (a record's further rows) replaces
// the file still waiting. One saved again after other files cannot be put back in its first
// place in an archive written front to back: at the end the deflated entries are copied into
// a new archive in zipaXML's order, the stale ones left out, which reads back only compressed
// bytes. A file changed or gone since it was saved makes `conclui` pack anew from the disk.
class EmpacotamentoSimultaneo::Estado {
  public:
    explicit Estado(const std::string& provisorio)
        : temporario(provisorio), zip(temporario, provisorio) {
        trabalhador = std::thread([this] { trabalha(); });
    }
    ~Estado() {
        {
            std::lock_guard<std::mutex> trava(mutex);
            cancelado = true;
        }
        temPedido.notify_one();
        if (trabalhador.joinable()) trabalhador.join();
    }
    Estado(const Estado&) = delete;
    Estado& operator=(const Estado&) = delete;

    // `estado`: the file's as the save left it; read here when the caller has none.
    void adiciona(const std::string& caminho, const std::string& texto,
                  const std::optional<EstadoArquivo>& estado) {
        if (falhou.load(std::memory_order_relaxed)) return;
        Pedido pedido{caminho, texto, {}, 0};
        // Taken on the run's thread right after the save: the status of the very file whose
        // text is in hand.
        const std::optional<EstadoArquivo> e = estado ? estado : estadoArquivo(fs::path(caminho));
        if (e) {
            pedido.instantaneo = instantaneoDe(*e);
            pedido.gravacao = static_cast<std::time_t>(e->gravacao);
        }
        std::unique_lock<std::mutex> trava(mutex);
        temVaga.wait(trava, [this] { return fila.size() < kFila; });
        fila.push_back(std::move(pedido));
        const bool loteCompleto = fila.size() == kLote;
        trava.unlock();
        if (loteCompleto) temPedido.notify_one();
    }

    // Once the last file has been given: waits for the thread to write every entry, then puts
    // in place as `final` the archive of ListaArquivos as the disk holds it now. Nothing when
    // the entries written are not that archive's, or when it could not be written whole.
    std::optional<std::string> poeNoLugar(const ListaDeArquivos& ListaArquivos,
                                          const std::string& final) {
        {
            std::lock_guard<std::mutex> trava(mutex);
            fim = true;
        }
        temPedido.notify_one();
        trabalhador.join();
        if (falhou) return std::nullopt;
        const std::optional<std::vector<std::uint32_t>> ordem = ordemDasEntradas(ListaArquivos);
        if (!ordem) return std::nullopt;
        zip.renomeiaFinal(final);
        temporario.renomeiaFinal(final);
        std::unique_ptr<ArquivoTemporario> reescrito;
        try {
            zip.fecha();
            if (!emOrdem(*ordem)) reescrito = reescreve(*ordem, final);
        } catch (const ErroArquivo&) {
            // Packed anew, whose failure, if it fails again, is the one told.
            return std::nullopt;
        }
        return reescrito ? reescrito->poeNoLugar() : temporario.poeNoLugar();
    }

  private:
    // Files waiting for the thread: enough to keep it busy, few enough to stay a few MiB. It is
    // woken once a batch has come, not for every file: a wake-up costs both threads more than
    // deflating a file.
    static constexpr std::size_t kFila = 512;
    static constexpr std::size_t kLote = 64;
    static constexpr std::chrono::milliseconds kEspera{20};

    struct Pedido {
        std::string caminho;
        std::string texto;
        std::optional<Instantaneo> instantaneo;
        std::time_t gravacao;
    };

    void trabalha() {
        // Below the run's thread: where the run waits on the database, deflating fills the
        // gaps, and a reply from the server never waits for a file being deflated. Only a
        // preference: where it cannot be had the packing is the same, and no slower.
        baixaPrioridadeDestaTarefa();
        std::deque<Pedido> lote;
        std::optional<Pedido> pendente;
        for (;;) {
            {
                std::unique_lock<std::mutex> trava(mutex);
                // A batch, or whatever came within a moment: no file waits long.
                temPedido.wait_for(trava, kEspera,
                                   [this] { return fila.size() >= kLote || fim || cancelado; });
                if (cancelado) return;
                if (fila.empty()) {
                    if (fim) break;
                    continue;
                }
                lote.swap(fila);
            }
            temVaga.notify_all();
            for (Pedido& pedido : lote) {
                if (pendente && pendente->caminho == pedido.caminho) {
                    pendente = std::move(pedido);
                    continue;
                }
                if (pendente) grava(*pendente);
                pendente = std::move(pedido);
            }
            lote.clear();
        }
        if (pendente) grava(*pendente);
    }

    void grava(const Pedido& pedido) {
        if (falhou) return;
        try {
            if (!pedido.instantaneo) throw ErroArquivo("arquivo sumido");
            zip.adiciona(fs::path(pedido.caminho).filename().string(), pedido.texto,
                         dataZip(pedido.gravacao));
            gravados.push_back(*pedido.instantaneo);
        } catch (const std::exception&) {
            // Not told here: `conclui` packs from the disk instead, and that packing's own
            // failure, if any, is the one the operator sees. The hidden archive goes at once:
            // on a full disk its room is the records'.
            falhou = true;
            zip.abandona();
            temporario.remove();
        }
    }

    // The entries written, in the order zipaXML would pack the listed paths now: one per path,
    // at its first place, the entry of its last save. Nothing when the entries are not the
    // saves of ListaArquivos (a path listed twice in a row was written once, the later text)
    // or a file is no longer the one that was deflated.
    std::optional<std::vector<std::uint32_t>> ordemDasEntradas(
        const ListaDeArquivos& ListaArquivos) const {
        const auto mesmo = [&](std::size_t a, std::size_t b) {
            return ListaArquivos.mesmoCaminho(a, b);
        };
        // The entry of each listed path, and the paths grouped by hash: each as one number,
        // the hash above and the listing below, so that sorting groups a hash's listings in
        // their order. The hash loses the bits the listing takes; paths it no longer tells
        // apart are told apart below, as any collision is.
        const std::size_t n = ListaArquivos.size();
        const int bitsDaListagem = std::max(1, static_cast<int>(std::bit_width(n)));
        const std::uint64_t mascara = (std::uint64_t{1} << bitsDaListagem) - 1;
        const auto listagem = [&](std::uint64_t item) {
            return static_cast<std::uint32_t>(item & mascara);
        };
        std::vector<std::uint32_t> entradaDe(n);
        std::vector<std::uint64_t> porHash;
        porHash.reserve(n);
        std::uint32_t entradas = 0;
        for (std::uint32_t i = 0; i < n; ++i) {
            entradaDe[i] = i > 0 && mesmo(i, i - 1) ? entradaDe[i - 1] : entradas++;
            const std::uint64_t hash = ListaArquivos.hashDoCaminho(i);
            porHash.push_back((hash << bitsDaListagem) | i);
        }
        if (entradas != gravados.size()) return std::nullopt;
        std::sort(porHash.begin(), porHash.end());
        // For a path's first listing, the entry of its last; kJaVisto for its later ones.
        std::vector<std::uint32_t> ultima(n, kNenhuma);
        for (std::size_t inicio = 0, fim = 0; inicio < porHash.size(); inicio = fim) {
            fim = inicio + 1;
            while (fim < porHash.size() &&
                   (porHash[fim] >> bitsDaListagem) == (porHash[inicio] >> bitsDaListagem))
                ++fim;
            // Same hash: the same path, but for a collision, which is told apart here.
            for (std::size_t a = inicio; a < fim; ++a) {
                const std::uint32_t primeira = listagem(porHash[a]);
                if (ultima[primeira] == kJaVisto) continue;
                std::uint32_t ultimaListagem = primeira;
                for (std::size_t b = a + 1; b < fim; ++b) {
                    const std::uint32_t outra = listagem(porHash[b]);
                    if (!mesmo(outra, primeira)) continue;
                    ultimaListagem = outra;
                    ultima[outra] = kJaVisto;
                }
                ultima[primeira] = entradaDe[ultimaListagem];
            }
        }
        std::vector<std::uint32_t> ordem;
        ordem.reserve(entradas);
        for (std::uint32_t i = 0; i < n; ++i) {
            if (ultima[i] == kJaVisto || ultima[i] == kNenhuma) continue;
            if (instantaneo(ListaArquivos.caminho(i)) != gravados[ultima[i]]) return std::nullopt;
            ordem.push_back(ultima[i]);
        }
        return ordem;
    }

    static bool emOrdem(const std::vector<std::uint32_t>& ordem) {
        for (std::uint32_t i = 0; i < ordem.size(); ++i)
            if (ordem[i] != i) return false;
        return true;
    }

    // A path saved again after other files: the entries already deflated are copied, as they
    // are, into a new archive in the order given, the stale ones left out. Only the compressed
    // bytes are read back, in one pass over the hidden archive.
    std::unique_ptr<ArquivoTemporario> reescreve(const std::vector<std::uint32_t>& ordem,
                                                 const std::string& final) const {
        zlib_filefunc64_def funcoes = funcoesSobre(temporario);
        struct Origem {
            unzFile zip;
            ~Origem() {
                if (zip != nullptr) unzClose(zip);
            }
        } origem{unzOpen2_64(temporario.nome().c_str(), &funcoes)};
        if (origem.zip == nullptr)
            throw ErroArquivo("Não foi possível reler o arquivo " + final + ".");
        std::vector<unz64_file_pos> posicoes;
        posicoes.reserve(gravados.size());
        for (int r = unzGoToFirstFile(origem.zip); r == UNZ_OK; r = unzGoToNextFile(origem.zip)) {
            unz64_file_pos posicao{};
            unzGetFilePos64(origem.zip, &posicao);
            posicoes.push_back(posicao);
        }
        if (posicoes.size() != gravados.size())
            throw ErroArquivo("Não foi possível reler o arquivo " + final + ".");
        auto novo = std::make_unique<ArquivoTemporario>(final);
        ArquivoZip destino(*novo, final);
        for (const std::uint32_t entrada : ordem) {
            if (unzGoToFilePos64(origem.zip, &posicoes[entrada]) != UNZ_OK)
                throw ErroArquivo("Não foi possível reler o arquivo " + final + ".");
            destino.copiaDeflatada(origem.zip);
        }
        destino.fecha();
        return novo;
    }

    static constexpr std::uint32_t kNenhuma = 0xFFFFFFFFu;
    static constexpr std::uint32_t kJaVisto = 0xFFFFFFFEu;

    ArquivoTemporario temporario;
    ArquivoZip zip;
    // One per entry written, in the archive's order.
    Instantaneos gravados;
    std::atomic<bool> falhou{false};

    std::mutex mutex;
    std::condition_variable temPedido;
    std::condition_variable temVaga;
    std::deque<Pedido> fila;
    bool fim = false;
    bool cancelado = false;
    std::thread trabalhador;
};

EmpacotamentoSimultaneo::EmpacotamentoSimultaneo(const ParametrosExportacao& parametros,
                                                 const Relogio& relogio)
    : parametros(parametros) {
    try {
        estado = std::make_unique<Estado>(nomeDoArquivo(parametros, relogio.agora()));
    } catch (const ErroArquivo&) {
        // No hidden archive here (a folder gone, a full disk): the packing at the end meets
        // the same folder and tells what it finds.
    }
}

EmpacotamentoSimultaneo::~EmpacotamentoSimultaneo() = default;

void EmpacotamentoSimultaneo::adiciona(const std::string& caminho, const std::string& texto) {
    if (estado) estado->adiciona(caminho, texto, std::nullopt);
}

void EmpacotamentoSimultaneo::adiciona(const std::string& caminho, const std::string& texto,
                                       const std::optional<EstadoArquivo>& estadoDoArquivo) {
    if (estado) estado->adiciona(caminho, texto, estadoDoArquivo);
}

std::string EmpacotamentoSimultaneo::conclui(const ListaDeArquivos& ListaArquivos,
                                             Operador& operador, const Relogio& relogio,
                                             const Cancelamento* cancelamento) {
    const std::string nome = nomeDoArquivo(parametros, relogio.agora());
    operador.status("Compactando Arquivo...");
    verificaInterrupcao(cancelamento);
    std::optional<std::string> posto;
    if (estado) posto = estado->poeNoLugar(ListaArquivos, nome);
    // The hidden archive goes before the files are packed again, which may need its room.
    estado.reset();
    if (posto) return *posto;
    return empacotaEmSequencia(
        nome, ListaArquivos.size(), [&](std::size_t i) { return ListaArquivos.caminho(i); },
        cancelamento);
}

void removeArquivosIncompletos(const std::string& Caminho,
                               const std::function<void(const std::string&)>& log) {
    // nomeDoArquivo's name as criaArquivoAoLado hides it: a dot before, and the writer's
    // process, a count and a random number after.
    static const std::regex incompleto(
        R"(\.FichasValmo_[0-9]{8}_[0-9]{4}_[0-9]{8}_[0-9]{8}\.zip\.[0-9]+-[0-9]+-[0-9]+)");
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
