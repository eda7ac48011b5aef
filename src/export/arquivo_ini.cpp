#include "export/arquivo_ini.hpp"

// The Debian package ships SimpleIni's template bodies behind this switch; this is the only
// file that uses it.
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include <cstdint>
#include <fstream>
#include <system_error>

#include "comum/erro.hpp"

namespace cds {

namespace fs = std::filesystem;

std::string caminhoXmlPadrao() {
#ifdef _WIN32
    return "C:\\temp";
#else
    std::error_code ec;
    std::string texto = fs::temp_directory_path(ec).string();
    if (ec) return "/tmp";
    while (texto.size() > 1 && texto.back() == fs::path::preferred_separator) texto.pop_back();
    return texto;
#endif
}

// The file is kept in UTF-8, the program's own text. Windows' profile functions would write
// the ANSI code page, but here the operator edits config.ini with a UTF-8 editor, and the
// values that matter (paths, codes) read the same either way.
struct ArquivoIni::Estado {
    CSimpleIniA ini;
    // Whether `ini` holds what the file held when it had this size and time; a missing file
    // is remembered as such, so that reading it again costs one status call.
    bool emDia = false;
    bool existia = false;
    std::uintmax_t tamanho = 0;
    fs::file_time_type modificado{};

    Estado() {
        ini.SetSpaces(false);
        ini.SetQuotes(true);
    }

    void esquece() {
        ini.Reset();
        emDia = false;
    }

    // Brings the cache in line with the file. False when the file exists but cannot be read.
    bool atualiza(const fs::path& caminho) {
        std::error_code ec;
        const fs::file_status tipo = fs::status(caminho, ec);
        if (!fs::exists(tipo)) {
            if (existia || !emDia) ini.Reset();
            existia = false;
            emDia = true;
            return true;
        }
        if (!fs::is_regular_file(tipo)) {
            esquece();
            return false;
        }
        const std::uintmax_t tamanhoAgora = fs::file_size(caminho, ec);
        const fs::file_time_type modificadoAgora =
            ec ? fs::file_time_type{} : fs::last_write_time(caminho, ec);
        if (ec) {
            esquece();
            return false;
        }
        if (emDia && existia && tamanhoAgora == tamanho && modificadoAgora == modificado) {
            return true;
        }
        ini.Reset();
        if (ini.LoadFile(caminho.c_str()) < 0) {
            esquece();
            return false;
        }
        emDia = true;
        existia = true;
        tamanho = tamanhoAgora;
        modificado = modificadoAgora;
        return true;
    }
};

ArquivoIni::ArquivoIni(fs::path arquivo)
    : caminho(std::move(arquivo)), estado(std::make_unique<Estado>()) {}

ArquivoIni::~ArquivoIni() = default;

std::string ArquivoIni::le(const std::string& secao, const std::string& chave,
                           const std::string& padrao) const {
    if (!estado->atualiza(caminho)) return padrao;
    return estado->ini.GetValue(secao.c_str(), chave.c_str(), padrao.c_str());
}

void ArquivoIni::grava(const std::string& secao, const std::string& chave,
                       const std::string& valor) {
    if (!estado->atualiza(caminho)) {
        throw ErroArquivo("Não foi possível ler o arquivo " + caminho.string() + ".");
    }
    if (estado->ini.SetValue(secao.c_str(), chave.c_str(), valor.c_str()) < 0) {
        throw ErroArquivo("Não foi possível gravar " + secao + "/" + chave + " em " +
                          caminho.string() + ".");
    }
    std::string texto;
    estado->ini.Save(texto);
    // SimpleIni ends lines the platform's way; the file keeps the Windows line ends.
    std::string crlf;
    crlf.reserve(texto.size() + texto.size() / 16);
    for (const char c : texto) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    {
        std::ofstream saida(caminho, std::ios::binary | std::ios::trunc);
        saida.write(crlf.data(), static_cast<std::streamsize>(crlf.size()));
        saida.close();
        if (!saida) {
            estado->esquece();
            throw ErroArquivo("Não foi possível gravar o arquivo " + caminho.string() + ".");
        }
    }
    // The cache already holds what was written; remember the file's new stamp.
    std::error_code ecTamanho, ecData;
    estado->existia = true;
    estado->tamanho = fs::file_size(caminho, ecTamanho);
    estado->modificado = fs::last_write_time(caminho, ecData);
    if (ecTamanho || ecData) estado->esquece();
}

}  // namespace cds
