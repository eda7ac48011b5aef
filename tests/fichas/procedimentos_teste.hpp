#pragma once

#include <string>
#include <utility>
#include <vector>

#include "suporte/banco_teste.hpp"

namespace cds::teste {

// A dentist with a team; the clinic of insereClinica has the dentists' occupation.
inline void insereDentista(BancoTeste& banco, int codigo = 20, const std::string& ine = "'456'") {
    banco.executa("INSERT INTO PROFISSIONAIS (CODIGO, nome, CNS, CBO, INE, CODUNIDADE) VALUES (" +
                  std::to_string(codigo) + ", 'Dr. Dente " + std::to_string(codigo) +
                  "', '7000000000000" + std::to_string(codigo) + "', '223208', " + ine +
                  ", '2345678')");
}

// A dental episode on 15/10/2019 of insereClinica's citizen: character 2, conduct 1, a first
// consultation. The sex of the episode is set, so that a procedure makes it a procedures
// episode too.
inline void insereAtendimentoOdontologico(BancoTeste& banco, int numero,
                                          const std::string& hora = "'14:35:00'",
                                          const std::string& unidade = "2345678",
                                          int profissional = 20) {
    banco.executa(
        "INSERT INTO FAA (CODUNIDADE, NUMFAA, DATA, HORA, CODPESSOA, SEXO, CODPROFISSIONAL, "
        "ESPECIEATEND, CARATER, CODCONDUTA, TIPOCONSULTAODONTO) VALUES ('" +
        unidade + "', " + std::to_string(numero) + ", '2019-10-15', " + hora +
        ", 100, 'Feminino', " + std::to_string(profissional) + ", 'ODONTO', '2', 1, '1')");
}

// SIGTAP codes with and without a primary-care code: the five the procedures form lists as
// they are, some with a code it lists, and some it does not take at all.
inline void insereCatalogoProcedimentos(BancoTeste& banco) {
    const std::vector<std::pair<std::string, std::string>> catalogo = {
        {"0301100039", "'ABPG033'"}, {"0401010023", "'ABPG019'"}, {"0214010015", "NULL"},
        {"0101040024", "''"},        {"0201020041", "NULL"},      {"0214010082", "'ABEX004'"},
        {"0202010295", "'ABEX002'"}, {"0301100012", "NULL"},      {"0101020058", "'ABPO005'"},
        {"0307010031", "NULL"},      {"0000000001", "'abpg001'"},
    };
    for (const auto& [codigo, codigoAB] : catalogo)
        banco.executa(
            "INSERT INTO SUSPROCEDUNIF (CODIGO, DESCRICAO, ehexame, CODPROCESUS) "
            "VALUES ('" +
            codigo + "', 'Procedimento " + codigo + "', 'N', " + codigoAB + ")");
}

inline void insereProcedimento(BancoTeste& banco, int numero, const std::string& codigo,
                               const std::string& quantidade = "1", int profissional = 10,
                               const std::string& unidade = "2345678") {
    banco.executa(
        "INSERT INTO FAAPROCED (CODUNIDADE, NUMFAA, CODPROCEDUNIF, QUANTIDADE, CODPROFISSIONAL) "
        "VALUES ('" +
        unidade + "', " + std::to_string(numero) + ", '" + codigo + "', " + quantidade + ", " +
        std::to_string(profissional) + ")");
}

}  // namespace cds::teste
