#include "export/empacotamento.hpp"

#include <minizip/zip.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <unordered_set>

#include "comum/erro.hpp"

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

// The archive being written. Left without `fecha`, as when an error stops the packing, it is
// closed as far as it got.
class ArquivoZip {
  public:
    explicit ArquivoZip(const std::string& caminho) : caminho(caminho) {
        errno = 0;
        zip = zipOpen64(caminho.c_str(), APPEND_STATUS_CREATE);
        if (zip == nullptr) {
            const int erro = errno;
            std::string texto = "Não foi possível criar o arquivo " + caminho;
            if (erro != 0) texto += ": " + std::generic_category().message(erro);
            throw ErroArquivo(texto + ".");
        }
    }
    ~ArquivoZip() {
        if (zip != nullptr) zipClose(zip, nullptr);
    }
    ArquivoZip(const ArquivoZip&) = delete;
    ArquivoZip& operator=(const ArquivoZip&) = delete;

    void adiciona(const fs::path& arquivo) {
        std::ifstream entrada(arquivo, std::ios::binary);
        if (!entrada) throw ErroArquivo("Não foi possível ler o arquivo " + arquivo.string() + ".");
        std::error_code ec;
        const std::uintmax_t tamanho = fs::file_size(arquivo, ec);
        const int zip64 = (!ec && tamanho >= 0xFFFFFFFFu) ? 1 : 0;

        zip_fileinfo info{};
        info.tmz_date = dataDoArquivo(arquivo);
        const std::string nome = arquivo.filename().string();
        if (zipOpenNewFileInZip64(zip, nome.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                  Z_DEFLATED, Z_DEFAULT_COMPRESSION, zip64) != ZIP_OK) {
            throw falhaDeGravacao();
        }
        std::vector<char> bloco(64 * 1024);
        while (entrada) {
            entrada.read(bloco.data(), static_cast<std::streamsize>(bloco.size()));
            const std::streamsize lidos = entrada.gcount();
            if (lidos > 0 &&
                zipWriteInFileInZip(zip, bloco.data(), static_cast<unsigned>(lidos)) != ZIP_OK) {
                throw falhaDeGravacao();
            }
        }
        if (!entrada.eof()) {
            throw ErroArquivo("Não foi possível ler o arquivo " + arquivo.string() + ".");
        }
        if (zipCloseFileInZip(zip) != ZIP_OK) throw falhaDeGravacao();
    }

    // Writes the directory; only after this is the archive whole.
    void fecha() {
        const int resultado = zipClose(zip, nullptr);
        zip = nullptr;
        if (resultado != ZIP_OK) throw falhaDeGravacao();
    }

  private:
    ErroArquivo falhaDeGravacao() const {
        return ErroArquivo("Não foi possível gravar o arquivo " + caminho + ".");
    }

    std::string caminho;
    zipFile zip = nullptr;
};

}  // namespace

ResultadoZip zipaXML(const ParametrosExportacao& parametros,
                     const std::vector<std::string>& ListaArquivos, Operador& operador,
                     const Relogio& relogio) {
    ResultadoZip resultado;
    resultado.arquivo = nomeDoArquivo(parametros, relogio.agora());
    operador.status("Compactando Arquivo...");
    try {
        ArquivoZip zip(resultado.arquivo);
        // A file saved twice in a run is listed twice but is one file.
        std::unordered_set<std::string> empacotados;
        for (const std::string& caminho : ListaArquivos) {
            std::error_code ec;
            if (!fs::is_regular_file(caminho, ec)) continue;
            if (!empacotados.insert(caminho).second) continue;
            zip.adiciona(caminho);
        }
        zip.fecha();
    } catch (const std::exception& e) {
        // Packaging is the one step that reports its own failure; the status keeps its text.
        operador.mensagem(e.what(), kTituloFalha, TipoMensagem::Erro);
        return resultado;
    }
    resultado.gravado = true;
    operador.status("Concluído!");
    operador.mensagem("Arquivo de importação do esus gerado com sucesso!", "Informação!",
                      TipoMensagem::Informacao);
    operador.status("");
    return resultado;
}

}  // namespace cds
