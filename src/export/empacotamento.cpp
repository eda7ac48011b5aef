#include "export/empacotamento.hpp"

#include <fcntl.h>
#include <minizip/zip.h>
#include <stdio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <unordered_set>

#include "comum/erro.hpp"
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

std::string mensagemDoErro(const std::string& texto, int erro) {
    if (erro == 0) return texto + ".";
    return texto + ": " + motivoDoSistema(erro) + ".";
}

std::string nomeDoArquivo(const ParametrosExportacao& parametros, const DataHora& agora) {
    return parametros.Caminho + kSeparador + "FichasValmo_" +
           ddMMyyyy(agora.dia, agora.mes, agora.ano) + "_" + comZeros(agora.hora, 2) +
           comZeros(agora.minuto, 2) + "_" + ddMMyyyy(parametros.DataInicial) + "_" +
           ddMMyyyy(parametros.DataFinal) + ".zip";
}

// The file's last-write time as local civil time, in the range a zip header can hold.
tm_zip dataDoArquivo(const fs::path& arquivo) {
    std::error_code ec;
    const fs::file_time_type quando = fs::last_write_time(arquivo, ec);
    if (ec)
        throw ErroArquivo(mensagemDoErro(
            "Não foi possível ler a data do arquivo " + arquivo.string(), ec.value()));
    const std::time_t t =
        std::chrono::system_clock::to_time_t(std::chrono::file_clock::to_sys(quando));
    std::tm local{};
    localtime_r(&t, &local);
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

// The archive's file before it is whole: a hidden name beside the final one, made unique, so
// that neither a crash nor a full disk leaves a broken archive under an archive's name. Removed
// on the way out unless it has been put in place.
class ArquivoTemporario {
  public:
    explicit ArquivoTemporario(const std::string& final) : final(final) {
        fs::path criado;
        const int descritor = criaArquivoAoLado(final, criado);
        if (descritor < 0)
            throw ErroArquivo(mensagemDoErro("Não foi possível criar o arquivo " + final, errno));
        ::close(descritor);
        caminho = criado.string();
    }
    ~ArquivoTemporario() {
        if (!caminho.empty()) {
            std::error_code ec;
            fs::remove(caminho, ec);
        }
    }
    ArquivoTemporario(const ArquivoTemporario&) = delete;
    ArquivoTemporario& operator=(const ArquivoTemporario&) = delete;

    const std::string& nome() const { return caminho; }

    // Gives the file the final name, or the first free one after it, without replacing
    // anything; returns the name taken.
    std::string poeNoLugar() {
        sincroniza(caminho);
        const std::string base = final.substr(0, final.size() - 4);
        for (int n = 1; n < 10000; ++n) {
            const std::string nome = n == 1 ? final : base + "_" + std::to_string(n) + ".zip";
            if (renomeiaSemSubstituir(nome)) {
                // Still removed on failure until the new name has reached the disk, before
                // the run commits.
                caminho = nome;
                sincroniza(fs::path(nome).parent_path().string());
                caminho.clear();
                return nome;
            }
        }
        throw ErroArquivo("Não há um nome livre para o arquivo " + final + ".");
    }

  private:
    // False when `nome` is taken.
    bool renomeiaSemSubstituir(const std::string& nome) {
        if (::renameat2(AT_FDCWD, caminho.c_str(), AT_FDCWD, nome.c_str(), RENAME_NOREPLACE) == 0)
            return true;
        int erro = errno;
        if (erro == EEXIST) return false;
        if (erro == EINVAL || erro == ENOSYS || erro == EOPNOTSUPP) {
            // A file system without the no-replace rename: a new link refuses a taken name too.
            if (::link(caminho.c_str(), nome.c_str()) == 0) {
                ::unlink(caminho.c_str());
                return true;
            }
            erro = errno;
            if (erro == EEXIST) return false;
        }
        throw ErroArquivo(mensagemDoErro("Não foi possível gravar o arquivo " + nome, erro));
    }

    // What was written reaches the disk, or the packing fails.
    void sincroniza(const std::string& quem) const {
        const int descritor = ::open(quem.c_str(), O_RDONLY | O_CLOEXEC);
        int erro = descritor < 0 ? errno : 0;
        if (descritor >= 0) {
            if (::fsync(descritor) != 0) erro = errno;
            ::close(descritor);
        }
        if (erro != 0)
            throw ErroArquivo(mensagemDoErro("Não foi possível gravar o arquivo " + final, erro));
    }

    std::string final;
    std::string caminho;
};

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
void completaFimZip64(const std::string& arquivo, std::uint64_t entradas,
                      const std::string& final) {
    constexpr std::size_t kFim = 22, kLocalizador = 20;
    const auto falha = [&](int erro) {
        return ErroArquivo(mensagemDoErro("Não foi possível gravar o arquivo " + final, erro));
    };
    const int descritor = ::open(arquivo.c_str(), O_RDWR | O_CLOEXEC);
    if (descritor < 0) throw falha(errno);
    struct Fecha {
        int d;
        ~Fecha() { ::close(d); }
    } fecha{descritor};
    const off_t tamanho = ::lseek(descritor, 0, SEEK_END);
    if (tamanho < static_cast<off_t>(kFim + kLocalizador)) throw falha(EIO);
    unsigned char cauda[kFim + kLocalizador];
    if (::pread(descritor, cauda, sizeof cauda, tamanho - static_cast<off_t>(sizeof cauda)) !=
        static_cast<ssize_t>(sizeof cauda))
        throw falha(errno);
    const unsigned char* fim = cauda + kLocalizador;
    if (leInteiro(fim, 4) != 0x06054b50 || leInteiro(fim + 20, 2) != 0) throw falha(EIO);
    if (leInteiro(cauda, 4) == 0x07064b50) return;
    const std::uint64_t tamanhoDiretorio = leInteiro(fim + 12, 4);
    const std::uint64_t inicioDiretorio = leInteiro(fim + 16, 4);
    const std::uint64_t posicao = static_cast<std::uint64_t>(tamanho) - kFim;
    if (inicioDiretorio + tamanhoDiretorio != posicao) throw falha(EIO);

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
    if (::pwrite(descritor, registros.data(), registros.size(), static_cast<off_t>(posicao)) !=
        static_cast<ssize_t>(registros.size()))
        throw falha(errno);
}

// The archive being written. Left without `fecha`, as when an error stops the packing, it is
// closed as far as it got.
class ArquivoZip {
  public:
    ArquivoZip(const std::string& caminho, const std::string& final)
        : caminho(caminho), final(final) {
        errno = 0;
        zip = zipOpen64(caminho.c_str(), APPEND_STATUS_CREATE);
        if (zip == nullptr)
            throw ErroArquivo(mensagemDoErro("Não foi possível criar o arquivo " + final, errno));
    }
    ~ArquivoZip() {
        if (zip != nullptr) zipClose(zip, nullptr);
    }
    ArquivoZip(const ArquivoZip&) = delete;
    ArquivoZip& operator=(const ArquivoZip&) = delete;

    void adiciona(const fs::path& arquivo) {
        std::error_code ec;
        if (!fs::is_regular_file(arquivo, ec))
            throw ErroArquivo("O arquivo " + arquivo.string() +
                              ", gerado nesta exportação, não foi encontrado para ser compactado.");
        errno = 0;
        std::ifstream entrada(arquivo, std::ios::binary);
        if (!entrada)
            throw ErroArquivo(
                mensagemDoErro("Não foi possível ler o arquivo " + arquivo.string(), errno));
        const std::uintmax_t tamanho = fs::file_size(arquivo, ec);
        const int zip64 = (!ec && tamanho >= 0xFFFFFFFFu) ? 1 : 0;

        zip_fileinfo info{};
        info.tmz_date = dataDoArquivo(arquivo);
        const std::string nome = arquivo.filename().string();
        errno = 0;
        if (zipOpenNewFileInZip64(zip, nome.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                  Z_DEFLATED, Z_DEFAULT_COMPRESSION, zip64) != ZIP_OK) {
            throw falhaDeGravacao();
        }
        std::vector<char> bloco(64 * 1024);
        int erroDeLeitura = 0;
        while (entrada) {
            errno = 0;
            entrada.read(bloco.data(), static_cast<std::streamsize>(bloco.size()));
            if (entrada.bad()) erroDeLeitura = errno;
            const std::streamsize lidos = entrada.gcount();
            errno = 0;
            if (lidos > 0 &&
                zipWriteInFileInZip(zip, bloco.data(), static_cast<unsigned>(lidos)) != ZIP_OK) {
                throw falhaDeGravacao();
            }
        }
        if (!entrada.eof()) {
            throw ErroArquivo(mensagemDoErro("Não foi possível ler o arquivo " + arquivo.string(),
                                             erroDeLeitura));
        }
        errno = 0;
        if (zipCloseFileInZip(zip) != ZIP_OK) throw falhaDeGravacao();
        ++entradas;
    }

    // Writes the directory and the end records; only after this is the archive whole.
    void fecha() {
        errno = 0;
        const int resultado = zipClose(zip, nullptr);
        zip = nullptr;
        if (resultado != ZIP_OK) throw falhaDeGravacao();
        if (entradas >= 0xFFFF) completaFimZip64(caminho, entradas, final);
    }

  private:
    // errno as the failing call left it: a full disk says so.
    ErroArquivo falhaDeGravacao() const {
        return ErroArquivo(mensagemDoErro("Não foi possível gravar o arquivo " + final, errno));
    }

    std::string caminho;
    std::string final;
    zipFile zip = nullptr;
    std::uint64_t entradas = 0;
};

}  // namespace

std::string zipaXML(const ParametrosExportacao& parametros,
                    const std::vector<std::string>& ListaArquivos, Operador& operador,
                    const Relogio& relogio, const Cancelamento* cancelamento) {
    const std::string nome = nomeDoArquivo(parametros, relogio.agora());
    operador.status("Compactando Arquivo...");
    const auto verificaInterrupcao = [cancelamento] {
        if (cancelamento) cancelamento->verifica();
    };
    ArquivoTemporario temporario(nome);
    {
        ArquivoZip zip(temporario.nome(), nome);
        // A file saved twice in a run is listed twice but is one file.
        std::unordered_set<std::string> empacotados;
        for (const std::string& caminho : ListaArquivos) {
            verificaInterrupcao();
            if (empacotados.insert(caminho).second) zip.adiciona(caminho);
        }
        zip.fecha();
    }
    verificaInterrupcao();
    return temporario.poeNoLugar();
}

void avisaArquivoGerado(Operador& operador) {
    operador.status("Concluído!");
    operador.mensagem("Arquivo de importação do esus gerado com sucesso!", "Informação!",
                      TipoMensagem::Informacao);
    operador.status("");
}

}  // namespace cds
