#include "fichas/identificadores.hpp"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "comum/texto.hpp"

namespace cds {
namespace {

// At most 7 slots in 10 taken: a free one is never far along the table.
constexpr std::size_t kOcupacaoMaxima = 7;
constexpr std::size_t kTamanhoInicial = 1024;
// A text is found by its block and its place in it, 16 bits each.
constexpr std::size_t kBloco = 64 * 1024;
constexpr std::size_t kMaximoDeBlocos = 64 * 1024;

// The identifier at its fifth "-": the unit and the kind's pieces before it, what tells the
// record apart after it ("2345678-da1cb4c9-0004-0000-0000-" and "03002"). The cut depends on the
// text alone, so two identifiers are the same text exactly when both halves are.
std::pair<std::string_view, std::string_view> divide(std::string_view identificador) {
    std::size_t corte = 0;
    for (int tracos = 0; tracos < 5; ++tracos) {
        const std::size_t traco = identificador.find('-', corte);
        if (traco == std::string_view::npos) return {{}, identificador};
        corte = traco + 1;
    }
    return {identificador.substr(0, corte), identificador.substr(corte)};
}

// The hash of the whole identifier, from its two halves.
std::uint64_t hashDe(std::string_view inicio, std::string_view resto) {
    HashDeTexto h;
    h.soma(inicio);
    h.soma(resto);
    return h.valor();
}

// A record's kind and its unit trimmed, as one text.
std::string chaveDoDono(const DonoIdentificador& dono) {
    std::string chave(1, static_cast<char>('A' + static_cast<int>(dono.tipo)));
    chave += '\0';
    chave += apara(dono.unidade);
    return chave;
}

// A number in 7-bit groups, the last without its high bit: one byte below 128.
std::size_t tamanhoDoNumero(std::size_t n) {
    std::size_t bytes = 1;
    for (; n >= 0x80; n >>= 7) ++bytes;
    return bytes;
}

char* escreveNumero(char* destino, std::size_t n) {
    for (; n >= 0x80; n >>= 7) *destino++ = static_cast<char>(0x80 | (n & 0x7F));
    *destino++ = static_cast<char>(n);
    return destino;
}

std::size_t leNumero(const char*& posicao) {
    std::size_t n = 0;
    for (int desvio = 0;; desvio += 7) {
        const auto byte = static_cast<unsigned char>(*posicao++);
        n |= static_cast<std::size_t>(byte & 0x7F) << desvio;
        if (!(byte & 0x80)) return n;
    }
}

}  // namespace

IdentificadoresDaExecucao::IdentificadoresDaExecucao() = default;
IdentificadoresDaExecucao::~IdentificadoresDaExecucao() = default;

std::uint32_t IdentificadoresDaExecucao::Internados::indice(std::string_view texto) const {
    const auto onde = indices.find(texto);
    return onde == indices.end() ? kNenhum : onde->second;
}

std::uint32_t IdentificadoresDaExecucao::Internados::guarda(std::string_view texto) {
    if (const auto onde = indices.find(texto); onde != indices.end()) return onde->second;
    const auto indice = static_cast<std::uint32_t>(textos.size());
    textos.push_back(&indices.emplace(std::string(texto), indice).first->first);
    return indice;
}

const char* IdentificadoresDaExecucao::enderecoDe(std::uint32_t texto) const {
    return blocos[texto >> 16].get() + (texto & 0xFFFF);
}

std::string_view IdentificadoresDaExecucao::textoEm(const char*& posicao) const {
    const std::size_t tamanho = leNumero(posicao);
    const std::string_view texto(posicao, tamanho);
    posicao += tamanho;
    return texto;
}

// The rest of the identifier, then the record's number: most often the rest's own end ("03002"
// ends in "3002"), and then only its length is kept.
std::uint32_t IdentificadoresDaExecucao::guardaTexto(std::string_view resto,
                                                     std::string_view numero) {
    const bool noFim = resto.ends_with(numero);
    const std::size_t marca = numero.size() << 1 | (noFim ? 1 : 0);
    const std::size_t tamanho = tamanhoDoNumero(resto.size()) + resto.size() +
                                tamanhoDoNumero(marca) + (noFim ? 0 : numero.size());
    if (blocos.empty() || usadoNoBloco + tamanho > kBloco) {
        if (blocos.size() == kMaximoDeBlocos)
            throw std::length_error("identificadores demais numa exportação");
        // A text longer than a block has one of its own, full from the start.
        blocos.push_back(std::make_unique<char[]>(std::max(tamanho, kBloco)));
        usadoNoBloco = 0;
    }
    const auto texto = static_cast<std::uint32_t>((blocos.size() - 1) << 16 | usadoNoBloco);
    char* destino = blocos.back().get() + usadoNoBloco;
    destino = escreveNumero(destino, resto.size());
    destino = std::copy(resto.begin(), resto.end(), destino);
    destino = escreveNumero(destino, marca);
    if (!noFim) std::copy(numero.begin(), numero.end(), destino);
    usadoNoBloco = tamanho > kBloco ? kBloco : usadoNoBloco + tamanho;
    return texto;
}

IdentificadoresDaExecucao::Achado IdentificadoresDaExecucao::procura(std::string_view identificador,
                                                                     const DonoIdentificador& dono,
                                                                     std::size_t* vaga) const {
    if (tabela.empty()) return Achado::Livre;
    const auto [inicio, resto] = divide(identificador);
    // An identifier whose start no record has is free; the walk still finds its slot.
    const std::uint32_t prefixo = prefixos.indice(inicio);
    const std::size_t mascara = tabela.size() - 1;
    for (std::size_t i = hashDe(inicio, resto) & mascara;; i = (i + 1) & mascara) {
        const Entrada& e = tabela[i];
        if (e.classe == kNenhum) {
            if (vaga) *vaga = i;
            return Achado::Livre;
        }
        const Classe& c = classes[e.classe];
        if (c.prefixo != prefixo) continue;
        const char* posicao = enderecoDe(e.texto);
        const std::string_view seu = textoEm(posicao);
        if (seu != resto) continue;
        const std::size_t marca = leNumero(posicao);
        const std::string_view numero = marca & 1 ? seu.substr(seu.size() - (marca >> 1))
                                                  : std::string_view(posicao, marca >> 1);
        const bool doDono = numero == dono.numero && c.dono == donos.indice(chaveDoDono(dono));
        return doDono ? Achado::DoDono : Achado::DeOutro;
    }
}

std::string IdentificadoresDaExecucao::sufixo(std::string_view identificador,
                                              const DonoIdentificador& dono) const {
    if (procura(identificador, dono, nullptr) != Achado::DeOutro) return {};
    for (int n = 2;; ++n) {
        std::string sufixo = "-" + std::to_string(n);
        if (procura(std::string(identificador) + sufixo, dono, nullptr) != Achado::DeOutro)
            return sufixo;
    }
}

void IdentificadoresDaExecucao::toma(std::string_view identificador,
                                     const DonoIdentificador& dono) {
    if ((ocupadas + 1) * 10 > tabela.size() * kOcupacaoMaxima) cresce();
    std::size_t vaga = 0;
    switch (procura(identificador, dono, &vaga)) {
        case Achado::DoDono:
            return;
        case Achado::DeOutro:
            throw std::logic_error("identificador de transporte já tomado por outra ficha: " +
                                   std::string(identificador));
        case Achado::Livre:
            break;
    }
    const auto [inicio, resto] = divide(identificador);
    const std::uint64_t prefixo = prefixos.guarda(inicio);
    const std::uint64_t deQuem = donos.guarda(chaveDoDono(dono));
    const auto [classe, nova] = indiceDaClasse.try_emplace(
        prefixo << 32 | deQuem, static_cast<std::uint32_t>(classes.size()));
    if (nova)
        classes.push_back(
            {static_cast<std::uint32_t>(prefixo), static_cast<std::uint32_t>(deQuem)});
    tabela[vaga] = {classe->second, guardaTexto(resto, dono.numero)};
    ++ocupadas;
}

// Twice the slots, each identifier where its hash now puts it.
void IdentificadoresDaExecucao::cresce() {
    std::vector<Entrada> antiga =
        std::exchange(tabela, std::vector<Entrada>(std::max(kTamanhoInicial, 2 * tabela.size())));
    const std::size_t mascara = tabela.size() - 1;
    for (const Entrada& e : antiga) {
        if (e.classe == kNenhum) continue;
        const char* posicao = enderecoDe(e.texto);
        const std::string_view resto = textoEm(posicao);
        std::size_t i = hashDe(prefixos.texto(classes[e.classe].prefixo), resto) & mascara;
        while (tabela[i].classe != kNenhum) i = (i + 1) & mascara;
        tabela[i] = e;
    }
}

}  // namespace cds
