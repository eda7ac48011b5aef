#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "source/conexao.hpp"
#include "source/consulta.hpp"
#include "suporte/banco_teste.hpp"

namespace cds::teste {

// The places, the responsible professional (20, team 0000123) and the generic professional (9)
// of the registrations here.
inline void insereBaseDeCadastros(BancoTeste& banco) {
    banco.executa(
        "INSERT INTO localidade (codigo, nome, uf, codibge) VALUES "
        "(1, 'FLORIANÓPOLIS', 'SC', '4205407')");
    banco.executa("INSERT INTO cep (codcep, codlocalidade) VALUES ('88000000', 1)");
    banco.executa("INSERT INTO bairros (codigo, nome) VALUES (1, 'Centro & Sul')");
    banco.executa(
        "INSERT INTO PROFISSIONAIS (CODIGO, nome, CNS, CBO, INE) VALUES "
        "(20, 'Dra. Rita', '700000000000020', '322245', '0000123')");
    banco.executa(
        "INSERT INTO PROFISSIONAIS (CODIGO, nome, CNS, CBO, INE) VALUES "
        "(9, 'Coordenação', '700000000000099', '223505', '0000999')");
}

// A citizen with little more than a name, marked for a first transmission unless a register
// row is given ("NULL" for none): (codigo, uuid, transmitiresus, datatransmissaoesus,
// CodigoTransmissaoEsus).
inline void insereCidadao(BancoTeste& banco, int codigo,
                          const std::string& registro = "NULL, 'Sim', NULL, NULL") {
    const std::string n = std::to_string(codigo);
    banco.executa(
        "INSERT INTO pessoas (codigo, nome, dtnascimento, sexo, cartaosus, codtitular, "
        "profissionalresponsavel) VALUES (" +
        n + ", 'Cidadão " + n + "', '1990-01-15', 'MASCULINO', '8980000000" + n + "', " + n +
        ", 20)");
    if (registro != "NULL")
        banco.executa(
            "INSERT INTO pessoastransmissao (codigo, uuid, transmitiresus, datatransmissaoesus, "
            "CodigoTransmissaoEsus) VALUES (" +
            n + ", " + registro + ")");
}

// A household of one person, its head, marked like insereCidadao's citizen.
inline void insereDomicilio(BancoTeste& banco, int codigo,
                            const std::string& registro = "NULL, 'Sim', NULL, NULL") {
    const std::string n = std::to_string(codigo);
    insereCidadao(banco, codigo, "NULL");
    banco.executa("INSERT INTO familias (codigo, profissionalresponsavel) VALUES (" + n + ", 20)");
    if (registro != "NULL")
        banco.executa(
            "INSERT INTO familiastransmissao (codigo, uuid, transmitiresus, datatransmissaoesus, "
            "CodigoTransmissaoEsus) VALUES (" +
            n + ", " + registro + ")");
}

// Citizen 123 of the hand-written FichaCadastroIndividual_00000000123.esus.xml: every block
// of the form, sent twice before.
inline void insereCidadaoCompleto(BancoTeste& banco) {
    banco.executa("INSERT INTO paises (codigo, nome, codigoesus) VALUES ('063', 'ARGENTINA', 10)");
    banco.executa("INSERT INTO etnias (codigo, nome) VALUES (7, 'GUARANI')");
    banco.executa(
        "INSERT INTO deficiencias (codigo, descricao, codigoesus) VALUES (2, 'Visual', 13)");
    banco.executa(
        "INSERT INTO pessoas (codigo, nome, cartaosus, codtitular) VALUES "
        "(122, 'Carlos Souza', '898000000000122', 122)");
    banco.executa(
        "INSERT INTO pessoas (codigo, nome, dtnascimento, sexo, raca, etnia, nomemae, nomepai, "
        "cartaosus, nacionalidade, cepmunicnasc, fone, FrequentaEscola, coddeficiencia, "
        "codtitular, microarea, profissionalresponsavel) VALUES (123, 'Joana Silva & Souza', "
        "'1985-03-14', 'Feminino', '05', 7, 'Maria Silva', 'Pedro Souza', '898000000000123', "
        "'063', '88000000', '(48) 99988-7766', 'S', 2, 122, 7, 20)");
    banco.executa(
        "INSERT INTO PessoasCondSaude (codigo, Gestante, MaternidadeReferencia, PesoSituacao, "
        "Fumante, UsaAlcool, Hipertenso, Diabetes, Infarto, DoencaCardiaca, "
        "CardiacaInsuficiencia, CardiacaOutra, CardiacaNaoSabe, ProblemasRins, "
        "RenalInsuficiencia, DoencaPulmao, PulmaoAsma, Hanseniase, Tuberculose, Cancer, "
        "Internacao12Meses, Internacao12MesesDesc, ProblemaMental, Acamado, Domiciliado, "
        "PraticasComplementares, PlantasMedicinais, PlantasMedicinaisDesc, condicoesSaude1) "
        "VALUES (123, 'Sim', 'Maternidade Carmela Dutra', 'Acima do Peso', 'Não', 'sim', 'Sim', "
        "'Não', 'Não', 'Sim', 'Sim', 'Não', 'Sim', 'Não', 'Sim', 'Sim', 'Sim', 'Não', 'Não', "
        "'Não', 'Sim', 'Pneumonia', 'Não', 'Não', 'Não', 'Sim', 'Sim', 'Camomila', 'Enxaqueca')");
    banco.executa(
        "INSERT INTO pessoastransmissao (codigo, uuid, transmitiresus, datatransmissaoesus, "
        "CodigoTransmissaoEsus) VALUES "
        "(123, '2345678-da1cb4c9-0004-0000-0001-00000000123', 'Sim', '2019-05-02', 2)");
}

// Household 45 of the hand-written FichaCadastroDomiciliar_000000000045.esus.xml: rural, with
// animals, two members and a full address, sent for the first time.
inline void insereDomicilioCompleto(BancoTeste& banco) {
    banco.executa(
        "INSERT INTO pessoas (codigo, nome, dtnascimento, cartaosus, codtitular, codbairro, "
        "cepresidencia, endereco, endnum, microarea, profissionalresponsavel) VALUES "
        "(45, 'Carlos Pereira', '1970-06-01', '898000000000045', 45, 1, '88000000', "
        "'Av. Beira-Mar', '100', 3, 20)");
    banco.executa("INSERT INTO pessoas (codigo, nome, codtitular) VALUES (46, 'Ana Pereira', 45)");
    banco.executa(
        "INSERT INTO familias (codigo, abastecimentoagua, TratamentoAgua, destinolixo, "
        "destinofezes, sedeterreno, propriterreno, TipoHabitacao, CasaPropria, LuzEletrica, "
        "LogradouroFrontal, tipodomicilio, numpecas, temgato, temcachorro, tempassaro, temoutros, "
        "quantosanimais, profissionalresponsavel) VALUES (45, 'Rede Geral', 'Filtração', "
        "'Coletado', 'Fossa Séptica', 'Rural', 'Posseiro', 'Alvenaria com revestimento', "
        "'Própria', 'Sim', 'Asfalto', 'Casa', 5, 'Sim', 'Não', 'Sim', 'Sim', 3, 20)");
    banco.executa(
        "INSERT INTO familiastransmissao (codigo, uuid, transmitiresus, datatransmissaoesus, "
        "CodigoTransmissaoEsus) VALUES (45, NULL, 'Sim', NULL, NULL)");
}

// A register row as "uuid | mark | day | counter", read in `transacao`; empty when the record
// has no row. `tabela` is pessoastransmissao or familiastransmissao.
inline std::string linhaDoRegistro(Transacao& transacao, const std::string& tabela, int codigo) {
    Consulta q(transacao,
               "SELECT uuid, transmitiresus, datatransmissaoesus, "
               "CodigoTransmissaoEsus FROM " +
                   tabela + " WHERE codigo = :pcodigo");
    q.parametro("pcodigo", codigo);
    const std::vector<Linha>& linhas = q.abre();
    if (linhas.empty()) return {};
    const Linha& l = linhas.front();
    return l.texto("uuid") + " | " + l.texto("transmitiresus") + " | " +
           l.texto("datatransmissaoesus") + " | " + l.texto("CodigoTransmissaoEsus");
}

// The register rows of a table of cases (each with its `codigo`), in the table's order.
template <class Caso, std::size_t N>
std::vector<std::string> linhasDoRegistro(Transacao& transacao, const std::string& tabela,
                                          const Caso (&casos)[N]) {
    std::vector<std::string> linhas;
    for (const Caso& caso : casos)
        linhas.push_back(linhaDoRegistro(transacao, tabela, caso.codigo));
    return linhas;
}

// "code|reason" of the cases left out (those with a `motivo`), in the table's order.
template <class Caso, std::size_t N>
std::vector<std::string> deixadosDosCasos(const Caso (&casos)[N]) {
    std::vector<std::string> deixados;
    for (const Caso& caso : casos)
        if (caso.motivo) deixados.push_back(std::to_string(caso.codigo) + "|" + caso.motivo);
    return deixados;
}

// The same, in a transaction of its own: what the run left committed.
inline std::string linhaGravadaDoRegistro(const BancoTeste& banco, const std::string& tabela,
                                          int codigo) {
    Conexao conexao;
    conexao.abre(banco.caminho());
    Transacao transacao(conexao);
    return linhaDoRegistro(transacao, tabela, codigo);
}

}  // namespace cds::teste
