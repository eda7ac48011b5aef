#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "comum/tipo_ficha.hpp"

namespace cds {

// The record a transport identifier was issued to: its kind, and its unit and number as read.
struct DonoIdentificador {
    TipoFicha tipo;
    std::string_view unidade;
    std::string_view numero;
};

// The transport identifiers a run has issued, so that no two records of the run carry one: the
// importer keeps a single record per identifier. Two records can build the same one: a unit
// whose code is not seven characters takes the unit typed for its identifiers, so its episode
// 3002 and the typed unit's episode 3002 meet; vaccination builds the individual care's.
//
// The first record in the run's order keeps its identifier, byte for byte as it always had it.
// A later one that finds it taken by another record gets the first free of "-2", "-3", ... after
// it, as a file name does: the same records of the same period get the same suffixes again. A
// record's further rows find the identifier their record took and keep it. A record is its
// kind, its unit trimmed and its number, as for its file name.
//
// A month is some 355,000 records, so the identifiers are kept small and exact: an open table
// of 8-byte slots, the identifier's start up to its fifth "-" (the unit and the kind's pieces,
// the same for thousands of records) kept once with the record's kind and unit, and the rest of
// it, with the record's number where it is not the rest's end, in blocks of text: some 25 bytes
// a record, 8.5 MiB for a month.
class IdentificadoresDaExecucao {
  public:
    IdentificadoresDaExecucao();
    ~IdentificadoresDaExecucao();

    // What the record must append to `identificador` for it to be its own in the run: empty when
    // the identifier is free or already the record's, else "-2", "-3", ...
    std::string sufixo(std::string_view identificador, const DonoIdentificador& dono) const;
    // The record takes `identificador` (its suffix included), once its file is written.
    void toma(std::string_view identificador, const DonoIdentificador& dono);

    std::size_t size() const { return ocupadas; }

  private:
    static constexpr std::uint32_t kNenhum = 0xFFFFFFFFu;

    // `classe` is kNenhum in a free slot.
    struct Entrada {
        std::uint32_t classe = kNenhum;  // index in `classes`: the start and the record's kind
        std::uint32_t texto = 0;         // block and place in it of the rest and the number
    };
    struct Classe {
        std::uint32_t prefixo;
        std::uint32_t dono;
    };

    enum class Achado { Livre, DoDono, DeOutro };

    // A text kept once, given an index of its own.
    class Internados {
      public:
        std::uint32_t indice(std::string_view texto) const;  // kNenhum when not kept
        std::uint32_t guarda(std::string_view texto);
        const std::string& texto(std::uint32_t indice) const { return *textos[indice]; }

      private:
        // Looked up by the text as it comes, without a copy of it.
        struct Hash {
            using is_transparent = void;
            std::size_t operator()(std::string_view texto) const {
                return std::hash<std::string_view>{}(texto);
            }
        };
        std::unordered_map<std::string, std::uint32_t, Hash, std::equal_to<>> indices;
        std::vector<const std::string*> textos;
    };

    Achado procura(std::string_view identificador, const DonoIdentificador& dono,
                   std::size_t* vaga) const;
    // The text at `posicao`, which then points past it.
    std::string_view textoEm(const char*& posicao) const;
    const char* enderecoDe(std::uint32_t texto) const;
    std::uint32_t guardaTexto(std::string_view resto, std::string_view numero);
    void cresce();

    std::vector<Entrada> tabela;
    std::size_t ocupadas = 0;
    Internados prefixos;
    Internados donos;
    std::vector<Classe> classes;
    std::unordered_map<std::uint64_t, std::uint32_t> indiceDaClasse;
    std::vector<std::unique_ptr<char[]>> blocos;
    std::size_t usadoNoBloco = 0;
};

}  // namespace cds
