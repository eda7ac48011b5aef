#include "export/empacotamento.hpp"

#include <minizip/zip.h>

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
#include "comum/plataforma_arquivos.hpp"
#include "comum/plataforma_hora.hpp"
#include "export/arquivos.hpp"

namespace cds {

namespace {

namespace fs = std::filesystem;

constexpr char kSeparador = static_cast<char>(fs::path::preferred_separator);
constexpr char kTituloFalha[] = "Problema encontrado ao zipar o arquivo KVW.";

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
    return texto + ": " + erro.message() + ".";
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

// The file's last-write time as local civil time, in the range a zip header can hold.
tm_zip dataDoArquivo(const fs::path& arquivo) {
    std::error_code ec;
    const fs::file_time_type quando = fs::last_write_time(arquivo, ec);
    if (ec) throw ErroArquivo("Não foi possível ler a data do arquivo " + arquivo.string() + ".");
    const std::time_t t =
        std::chrono::system_clock::to_time_t(std::chrono::file_clock::to_sys(quando));
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

// The archive's file before it is whole: a hidden name beside the final one, made unique, so
// that neither a crash nor a full disk leaves a broken archive under an archive's name. Removed
// on the way out unless it has been put in place.
class ArquivoTemporario {
  public:
    explicit ArquivoTemporario(const std::string& final) : final(final) {
        fs::path criado;
        std::error_code erro;
        // Closed at once: minizip opens it again by name.
        criaArquivoAoLado(final, criado, erro);
        if (erro)
            throw ErroArquivo(mensagemDoErro("Não foi possível criar o arquivo " + final, erro));
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
        sincroniza(sincronizaArquivo(caminho));
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
    const auto falha = [&](const std::error_code& erro) {
        return ErroArquivo(mensagemDoErro("Não foi possível gravar o arquivo " + final, erro));
    };
    const auto estragado = std::make_error_code(std::errc::io_error);
    std::error_code erro;
    ArquivoAberto zip = ArquivoAberto::abreParaAlterar(arquivo, erro);
    if (erro) throw falha(erro);
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
    ArquivoZip(const std::string& caminho, const std::string& final)
        : caminho(caminho), final(final) {
        errno = 0;
        zip = zipOpen64(caminho.c_str(), APPEND_STATUS_CREATE);
        if (zip == nullptr)
            throw ErroArquivo(
                mensagemDoErro("Não foi possível criar o arquivo " + final, erroDaBiblioteca()));
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
        std::ifstream entrada(arquivo, std::ios::binary);
        if (!entrada) throw ErroArquivo("Não foi possível ler o arquivo " + arquivo.string() + ".");
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
        while (entrada) {
            entrada.read(bloco.data(), static_cast<std::streamsize>(bloco.size()));
            const std::streamsize lidos = entrada.gcount();
            errno = 0;
            if (lidos > 0 &&
                zipWriteInFileInZip(zip, bloco.data(), static_cast<unsigned>(lidos)) != ZIP_OK) {
                throw falhaDeGravacao();
            }
        }
        if (!entrada.eof()) {
            throw ErroArquivo("Não foi possível ler o arquivo " + arquivo.string() + ".");
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
        return ErroArquivo(
            mensagemDoErro("Não foi possível gravar o arquivo " + final, erroDaBiblioteca()));
    }

    std::string caminho;
    std::string final;
    zipFile zip = nullptr;
    std::uint64_t entradas = 0;
};

}  // namespace

ResultadoZip zipaXML(const ParametrosExportacao& parametros,
                     const std::vector<std::string>& ListaArquivos, Operador& operador,
                     const Relogio& relogio) {
    ResultadoZip resultado;
    resultado.arquivo = nomeDoArquivo(parametros, relogio.agora());
    operador.status("Compactando Arquivo...");
    try {
        ArquivoTemporario temporario(resultado.arquivo);
        {
            ArquivoZip zip(temporario.nome(), resultado.arquivo);
            // A file saved twice in a run is listed twice but is one file.
            std::unordered_set<std::string> empacotados;
            for (const std::string& caminho : ListaArquivos)
                if (empacotados.insert(caminho).second) zip.adiciona(caminho);
            zip.fecha();
        }
        resultado.arquivo = temporario.poeNoLugar();
    } catch (const std::exception& e) {
        // Packaging is the one step that reports its own failure; the status keeps its text.
        operador.mensagem(e.what(), kTituloFalha, TipoMensagem::Erro);
        return resultado;
    }
    resultado.gravado = true;
    return resultado;
}

void avisaArquivoGerado(Operador& operador) {
    operador.status("Concluído!");
    operador.mensagem("Arquivo de importação do esus gerado com sucesso!", "Informação!",
                      TipoMensagem::Informacao);
    operador.status("");
}

}  // namespace cds
