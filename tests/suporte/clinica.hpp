#pragma once

#include <string>

#include "suporte/banco_teste.hpp"

namespace cds::teste {

// One unit, one physician with a team, one citizen: the ground of every care episode here.
inline void insereClinica(teste::BancoTeste& banco) {
    banco.executa("INSERT INTO unidades (codigo, nome) VALUES ('2345678', 'UBS Centro')");
    banco.executa("INSERT INTO unidades (codigo, nome) VALUES ('7654321', 'UBS Norte')");
    banco.executa("INSERT INTO unidades (codigo, nome) VALUES ('1111111', 'CRAS Sul')");
    banco.executa("INSERT INTO CBO (CODIGO, DESCRICAO) VALUES ('225142', 'Médico da estratégia')");
    banco.executa("INSERT INTO CBO (CODIGO, DESCRICAO) VALUES ('223208', 'Cirurgião dentista')");
    banco.executa(
        "INSERT INTO PROFISSIONAIS (CODIGO, nome, CNS, CBO, INE, CODUNIDADE) VALUES "
        "(10, 'Dra. Ana Lúcia', '700000000000001', '225142', '123', '2345678')");
    banco.executa(
        "INSERT INTO pessoas (codigo, nome, dtnascimento, sexo, cartaosus) VALUES "
        "(100, 'Maria da Conceição', '1980-10-15', 'Feminino', '898000000000001')");
    banco.executa(
        "INSERT INTO CONDUTAS (codigo, descricao, CODIGOESUS) VALUES (1, 'Retorno', '1')");
}

// A medical episode on 15/10/2019 with a CID code, so that the care query selects it.
inline void insereEpisodio(teste::BancoTeste& banco, int numero,
                           const std::string& hora = "'14:35:00'",
                           const std::string& unidade = "2345678", int profissional = 10) {
    banco.executa(
        "INSERT INTO FAA (CODUNIDADE, NUMFAA, DATA, HORA, CODPESSOA, CODPROFISSIONAL, "
        "ESPECIEATEND, CARATER, CODCONDUTA) VALUES ('" +
        unidade + "', " + std::to_string(numero) + ", '2019-10-15', " + hora + ", 100, " +
        std::to_string(profissional) + ", 'MEDICO', '1', 1)");
    banco.executa("INSERT INTO FAACID (CODUNIDADE, NUMFAA, CODCID) VALUES ('" + unidade + "', " +
                  std::to_string(numero) + ", 'J45.9')");
}

}  // namespace cds::teste
