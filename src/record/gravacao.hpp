#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "comum/plataforma_arquivos.hpp"

namespace cds {

// The record files of one kind's loop, saved by a thread of their own while the loop reads and
// builds the next records: the system's file calls (create, write, rename, state, close) were a
// quarter of the busy time of the run's one thread, and a third of the month on tmpfs went from
// 11.7-13.9 s to 10.6-11.5 s a run (four runs each, the 2 cores shared at a load of 5). The files
// are saved in the order given, each as RegistroBuffer::salva saves it, and each, once saved, is
// told to `aoGravar` on that thread, in the same order.
//
// A file that fails raises its error (the same message as the save's, with the record it
// belongs to named in front) at the next `grava` or at `conclui`; no file given after it is
// saved. Without `conclui` (the loop ended in an error, or the operator stopped it), the files
// already given are still saved, as they would have been before the loop ended, and an error
// of theirs is left to the one that ended it.
class GravacaoDeRegistros {
  public:
    using AoGravar = std::function<void(const std::string& caminho, std::string texto,
                                        const std::optional<EstadoArquivo>& estado)>;

    explicit GravacaoDeRegistros(AoGravar aoGravar);
    ~GravacaoDeRegistros();
    GravacaoDeRegistros(const GravacaoDeRegistros&) = delete;
    GravacaoDeRegistros& operator=(const GravacaoDeRegistros&) = delete;

    // The file of the record `registro` names ("FichaVacinacao_12 (unidade 45)"), whole, at
    // `caminho`. Waits while the thread is too far behind, so memory stays bounded.
    void grava(std::string caminho, std::string texto, std::string registro);

    // Once the last file is given: every file saved and told, or the first error raised.
    void conclui();

  private:
    struct Pedido {
        std::string caminho;
        std::string texto;
        std::string registro;
    };

    void salvaOsPedidos();
    void guardaErro(std::exception_ptr e);
    void termina();

    AoGravar aoGravar;
    std::mutex mutex;
    std::condition_variable temPedido;
    std::condition_variable temVaga;
    std::deque<Pedido> fila;
    bool fim = false;
    std::exception_ptr erro;
    std::thread thread;
};

}  // namespace cds
