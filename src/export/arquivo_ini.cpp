#include "export/arquivo_ini.hpp"

// The Debian package ships SimpleIni's template bodies behind this switch; this is the only
// file that uses it.
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <system_error>

#include "comum/cp1252.hpp"
#include "comum/erro.hpp"
#include "comum/plataforma_arquivos.hpp"
#include "comum/plataforma_pastas.hpp"
#include "comum/texto.hpp"
#include "export/arquivos.hpp"

namespace cds {

namespace fs = std::filesystem;

namespace {

// A settings file of two sections is a few hundred bytes; a file this large is something else.
constexpr std::uintmax_t kTamanhoMaximo = 1024 * 1024;

// Why these bytes are no settings file, or empty when they are one. SimpleIni would take
// almost anything and, on the next save, drop what it did not understand.
std::string motivoDaRecusa(std::string_view bytes) {
    if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF"))
        return "está gravado em UTF-16 (Unicode); salve-o como UTF-8 ou ANSI";
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    std::size_t numero = 0;
    for (std::size_t inicio = 0; inicio <= bytes.size(); ++numero) {
        std::size_t fim = bytes.find('\n', inicio);
        if (fim == std::string_view::npos) fim = bytes.size();
        std::string_view linha = bytes.substr(inicio, fim - inicio);
        inicio = fim + 1;
        if (linha.ends_with('\r')) linha.remove_suffix(1);
        for (const char c : linha) {
            if (c == '\0') return "contém bytes nulos: não é um arquivo de texto";
            if (c != '\t' && temCaractereDeControle(std::string_view(&c, 1)))
                return "tem um caractere de controle na linha " + std::to_string(numero + 1) +
                       ": não é um arquivo de texto";
        }
    }
    // Every line a blank, a comment, a section or a key: the parser keeps nothing else.
    std::set<std::string> chaves;
    std::string secao;
    numero = 0;
    for (std::size_t inicio = 0; inicio < bytes.size(); ++numero) {
        std::size_t fim = bytes.find('\n', inicio);
        if (fim == std::string_view::npos) fim = bytes.size();
        const std::string_view linha = apara(bytes.substr(inicio, fim - inicio));
        inicio = fim + 1;
        const std::string onde = "a linha " + std::to_string(numero + 1);
        if (linha.empty() || linha.front() == ';' || linha.front() == '#') continue;
        if (linha.front() == '[') {
            if (linha.back() != ']' || apara(linha.substr(1, linha.size() - 2)).empty())
                return onde + " não é um nome de seção completo, como [GERAL]";
            secao = maiusculas(apara(linha.substr(1, linha.size() - 2)));
            continue;
        }
        const std::size_t igual = linha.find('=');
        if (igual == std::string_view::npos || apara(linha.substr(0, igual)).empty())
            return onde + " não é uma seção, uma chave=valor nem um comentário";
        const std::string chave = maiusculas(apara(linha.substr(0, igual)));
        if (!chaves.insert(secao + "\n" + chave).second)
            return "a chave " + chave + " aparece duas vezes na seção [" + secao + "] (" + onde +
                   ")";
    }
    return {};
}

// The length of the well-formed UTF-8 sequence of two to four bytes at the start of `texto`,
// or 0 when there is none there.
std::size_t sequenciaMultibyte(std::string_view texto) {
    for (std::size_t n = 2; n <= 4 && n <= texto.size(); ++n)
        if (utf8Valido(texto.substr(0, n))) return n;
    return 0;
}

std::string byteVisivel(unsigned char byte) {
    char hexa[8];
    std::snprintf(hexa, sizeof hexa, "0x%02X", byte);
    return hexa;
}

// Why the file's text is neither wholly UTF-8 nor wholly Windows-1252; empty when it is one of
// them (wholly valid UTF-8 is UTF-8). A file with text of both, as when a line typed in an
// editor of Windows joins a file saved in UTF-8, is refused: read as either, some value of it
// would reach the run as other characters than the ones written (a path to another folder).
std::string motivoDaCodificacao(std::string_view bytes) {
    // Where the first of each is, by line.
    std::size_t linha = 1;
    std::size_t linhaUtf8 = 0, linhaNaoUtf8 = 0, linhaIndefinido = 0;
    unsigned char naoUtf8 = 0, indefinido = 0;
    bool comecaComMarca = false;
    for (std::size_t i = 0; i < bytes.size();) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte == '\n') ++linha;
        if (byte < 0x80) {
            ++i;
            continue;
        }
        if (const std::size_t n = sequenciaMultibyte(bytes.substr(i))) {
            if (linhaUtf8 == 0) {
                linhaUtf8 = linha;
                comecaComMarca = i == 0 && bytes.starts_with("\xEF\xBB\xBF");
            }
            i += n;
            continue;
        }
        if (linhaNaoUtf8 == 0) {
            linhaNaoUtf8 = linha;
            naoUtf8 = byte;
        }
        // The five bytes Windows-1252 gives no character.
        if (linhaIndefinido == 0 &&
            (byte == 0x81 || byte == 0x8D || byte == 0x8F || byte == 0x90 || byte == 0x9D)) {
            linhaIndefinido = linha;
            indefinido = byte;
        }
        ++i;
    }
    if (linhaNaoUtf8 == 0) return {};
    if (linhaUtf8 != 0)
        return "mistura UTF-8 e ANSI (Windows-1252): a linha " + std::to_string(linhaNaoUtf8) +
               " tem um byte que não é UTF-8 (" + byteVisivel(naoUtf8) + "), e " +
               (comecaComMarca ? std::string("o arquivo começa com a marca de UTF-8")
                               : "a linha " + std::to_string(linhaUtf8) + " tem texto em UTF-8") +
               "; salve-o todo em UTF-8";
    if (linhaIndefinido != 0)
        return "a linha " + std::to_string(linhaIndefinido) + " tem o byte " +
               byteVisivel(indefinido) +
               ", que não é texto nem em UTF-8 nem em ANSI (Windows-1252); corrija-a e salve o "
               "arquivo em UTF-8";
    return {};
}

// The comment lines after the file's last section or key, with LF line ends; empty when there
// are none. SimpleIni keeps a comment only with the entry that follows it, and would drop
// these when it saves.
std::string caudaDeComentarios(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    std::size_t inicioDaCauda = 0;
    bool temComentario = false;
    for (std::size_t inicio = 0; inicio < bytes.size();) {
        std::size_t fim = bytes.find('\n', inicio);
        if (fim == std::string_view::npos) fim = bytes.size();
        const std::string_view linha = apara(bytes.substr(inicio, fim - inicio));
        inicio = fim + 1;
        if (linha.empty()) continue;
        if (linha.front() == ';' || linha.front() == '#') {
            temComentario = true;
            continue;
        }
        inicioDaCauda = std::min(inicio, bytes.size());
        temComentario = false;
    }
    if (!temComentario) return {};
    std::string cauda;
    for (const char c : bytes.substr(inicioDaCauda))
        if (c != '\r') cauda += c;
    if (!cauda.ends_with('\n')) cauda += '\n';
    return cauda;
}

// Replaces `arquivo` with `bytes` whole or not at all: a file that fills up the disk or dies
// half-way is the new one beside it, never the operator's settings.
void gravaPorInteiro(const fs::path& arquivo, const std::string& bytes) {
    std::error_code ec;
    // A config.ini that is a link to a shared file keeps being that link. (A file not there
    // yet is no link; what else the status call says, the writing says better.)
    fs::path destino = arquivo;
    if (fs::is_symlink(fs::symlink_status(arquivo, ec))) {
        destino = fs::weakly_canonical(arquivo, ec);
        if (ec)
            throw ErroArquivo("Não foi possível gravar o arquivo " + arquivo.string() + ": " +
                              motivoDoSistema(ec.value()) + ".");
    }
    const auto falha = [&](const std::error_code& erro) {
        return ErroArquivo("Não foi possível gravar o arquivo " + arquivo.string() + ": " +
                           motivoDoSistema(erro) + ". O arquivo ficou como estava.");
    };
    fs::path temporario;
    std::error_code erro;
    ArquivoAberto novo = criaArquivoAoLado(destino, temporario, erro);
    if (erro) throw falha(erro);
    // The new file takes the old one's permissions.
    erro = novo.copiaPermissoesDe(destino);
    if (!erro) erro = novo.grava(bytes);
    if (!erro) erro = novo.sincroniza();
    if (const std::error_code fechou = novo.fecha(); !erro) erro = fechou;
    if (!erro) erro = substituiArquivo(temporario, destino);
    if (erro) {
        fs::remove(temporario, ec);
        throw falha(erro);
    }
}

}  // namespace

std::string caminhoXmlPadrao() {
    // A folder of the user's own, not a shared temporary one (/tmp, C:\temp), where another
    // user could make arquivosXML first or read the citizens' records. The data folder rather
    // than Documents: it is there on a server too, and named the same whatever the desktop's
    // language. The window shows it and the run writes it to config.ini, so the operator finds
    // the archive; a missing one is made, its owner's alone.
    const fs::path dados = pastaDeDadosDoUsuario();
    if (dados.empty()) return {};
    const std::u8string texto = (dados / "exportador-cds").u8string();
    return std::string(texto.begin(), texto.end());
}

bool temCaractereDeControle(std::string_view texto) {
    for (const char c : texto) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) return true;
    }
    return false;
}

// The file is kept in UTF-8, the program's own text. A file with no UTF-8 text in it and bytes
// that are not UTF-8 was saved by an editor of Windows in its ANSI code page: it is read as
// Windows-1252, and written back in it, so that its other bytes stay as they were and the values
// reach the records as text. A file of both is refused (motivoDaCodificacao).
struct ArquivoIni::Estado {
    CSimpleIniA ini;
    // Whether `ini` and `recusa` tell what the file held when it had this size and time; a
    // missing file is remembered as such, so that reading it again costs one status call.
    bool emDia = false;
    bool existia = false;
    std::uintmax_t tamanho = 0;
    fs::file_time_type modificado{};
    // Why the file cannot be read as settings; empty when it can, or is missing.
    std::string recusa;
    // The comments at the end of the file, written back after what SimpleIni saves.
    std::string cauda;
    // The file is in Windows-1252: `ini` holds its text in UTF-8, and it is saved back in
    // Windows-1252.
    bool emCp1252 = false;

    Estado() {
        ini.SetSpaces(false);
        ini.SetQuotes(true);
    }

    bool recusada(std::string motivo) {
        ini.Reset();
        cauda.clear();
        recusa = std::move(motivo);
        return false;
    }

    // Brings the cache in line with the file. False, with `recusa` said, when the file exists
    // but cannot be read as settings.
    bool atualiza(const fs::path& caminho) {
        std::error_code ec;
        const fs::file_status tipo = fs::status(caminho, ec);
        if (!fs::exists(tipo)) {
            if (existia || !emDia) ini.Reset();
            cauda.clear();
            existia = false;
            emDia = true;
            recusa.clear();
            return true;
        }
        emDia = false;
        if (!fs::is_regular_file(tipo)) return recusada("não é um arquivo comum");
        const std::uintmax_t tamanhoAgora = fs::file_size(caminho, ec);
        const fs::file_time_type modificadoAgora =
            ec ? fs::file_time_type{} : fs::last_write_time(caminho, ec);
        if (ec) return recusada(ec.message());
        if (existia && tamanhoAgora == tamanho && modificadoAgora == modificado) {
            emDia = true;
            return recusa.empty();
        }
        std::string bytes;
        {
            std::ifstream entrada(caminho, std::ios::binary);
            if (!entrada) return recusada("não pôde ser aberto para leitura");
            bytes.resize(static_cast<std::size_t>(std::min(tamanhoAgora, kTamanhoMaximo + 1)));
            entrada.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
            bytes.resize(static_cast<std::size_t>(entrada.gcount()));
            if (entrada.bad()) return recusada("não pôde ser lido");
        }
        std::string motivo = motivoDaRecusa(bytes);
        if (motivo.empty()) motivo = motivoDaCodificacao(bytes);
        if (motivo.empty() && bytes.size() > kTamanhoMaximo)
            motivo = "tem " + std::to_string(tamanhoAgora) +
                     " bytes, muito mais do que um arquivo de configuração";
        ini.Reset();
        // Once accepted, a file that is not UTF-8 is wholly Windows-1252.
        emCp1252 = !utf8Valido(bytes);
        if (emCp1252) bytes = cp1252ParaUtf8(bytes);
        if (motivo.empty() && ini.LoadData(bytes.data(), bytes.size()) < 0)
            motivo = "não pôde ser interpretado";
        // Remembered either way: a file refused stays refused until it changes.
        existia = true;
        tamanho = tamanhoAgora;
        modificado = modificadoAgora;
        emDia = true;
        if (!motivo.empty()) return recusada(std::move(motivo));
        recusa.clear();
        cauda = caudaDeComentarios(bytes);
        return true;
    }
};

ArquivoIni::ArquivoIni(fs::path arquivo) : ArquivoIni(LocalConfig(std::move(arquivo))) {}

ArquivoIni::ArquivoIni(LocalConfig local)
    : caminho(std::move(local.arquivo)),
      procurados(std::move(local.procurados)),
      pastaErros(std::move(local.pastaDosErros)),
      gravarEm(std::move(local.gravarEm)),
      estado(std::make_unique<Estado>()) {}

ArquivoIni::~ArquivoIni() = default;

std::string ArquivoIni::le(const std::string& secao, const std::string& chave,
                           const std::string& padrao) const {
    if (!estado->atualiza(caminho)) return padrao;
    return estado->ini.GetValue(secao.c_str(), chave.c_str(), padrao.c_str());
}

void ArquivoIni::verifica() const {
    if (!estado->atualiza(caminho))
        throw ErroArquivo("O arquivo de configuração " + caminho.string() +
                          " não pode ser lido como tal: " + estado->recusa +
                          ". Nada foi gravado nele.");
}

bool ArquivoIni::existe() const {
    std::error_code ec;
    return fs::exists(caminho, ec);
}

void ArquivoIni::grava(const std::string& secao, const std::string& chave,
                       const std::string& valor) {
    if (temCaractereDeControle(secao) || temCaractereDeControle(chave) ||
        temCaractereDeControle(valor)) {
        throw ErroArquivo("O valor de " + secao + "/" + chave +
                          " tem uma quebra de linha ou outro caractere de controle e não foi "
                          "gravado em " +
                          caminho.string() + ".");
    }
    verifica();
    if (estado->emCp1252 && cp1252ParaUtf8(utf8ParaCp1252(valor)) != valor) {
        throw ErroArquivo("O arquivo de configuração " + caminho.string() +
                          " está gravado em ANSI (Windows-1252), que não tem todos os caracteres "
                          "do valor de " +
                          secao + "/" + chave + " ('" + valor +
                          "'); nada foi gravado. Salve-o como UTF-8 e tente de novo.");
    }
    if (estado->ini.SetValue(secao.c_str(), chave.c_str(), valor.c_str()) < 0) {
        throw ErroArquivo("Não foi possível gravar " + secao + "/" + chave + " em " +
                          caminho.string() + ".");
    }
    std::string texto;
    estado->ini.Save(texto);
    if (!estado->cauda.empty()) {
        if (!texto.empty() && !texto.ends_with('\n')) texto += '\n';
        texto += estado->cauda;
    }
    // SimpleIni ends lines the platform's way; the file keeps the Windows line ends.
    std::string crlf;
    crlf.reserve(texto.size() + texto.size() / 16);
    for (const char c : texto) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    if (estado->emCp1252) crlf = utf8ParaCp1252(crlf);
    try {
        if (gravarEm != caminho) {
            // The user's settings folder may not be there yet; one that cannot be made fails
            // the write, which says why.
            criaPastasPrivadas(gravarEm.parent_path());
            gravaPorInteiro(gravarEm, crlf);
            caminho = gravarEm;
        } else {
            gravaPorInteiro(caminho, crlf);
        }
    } catch (const ErroArquivo&) {
        // The cache holds a value the file does not: read the file again next time.
        estado->emDia = false;
        estado->existia = false;
        throw;
    }
    // The cache already holds what was written; remember the file's new stamp.
    std::error_code ecTamanho, ecData;
    estado->existia = true;
    estado->tamanho = fs::file_size(caminho, ecTamanho);
    estado->modificado = fs::last_write_time(caminho, ecData);
    if (ecTamanho || ecData) {
        estado->emDia = false;
        estado->existia = false;
    }
}

}  // namespace cds
