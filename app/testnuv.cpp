// testnuv: the random-bit experiment on the full screen (or an 800x600 window).
//
// Takes no arguments: "--help" and "--version" answer and end, anything else is
// ignored. Runs until the space bar is pressed; a stop request of the operating
// system takes the same orderly way out, and so does the loss of the display
// (with exit code 1).
#include <cstdio>
#include <cstring>

#include "app/stop_requests.h"
#include "experiment/loop.h"
#include "experiment/provenance.h"
#include "runtime/sha256.h"
#include "gfx/driver.h"
#include "runtime/paths.h"
#include "runtime/platform.h"
#include "runtime/version.h"

namespace {

const char HELP[] =
    "uso: testnuv [--help | --version]\n"
    "\n"
    "Experimento aleatorio: 200 bits por segundo en la pantalla, juzgados cada segundo\n"
    "y cada ventana de 5 y de 15 minutos, en ciclos de 12 horas. Escribe el registro de\n"
    "estudio estudio_mm-dd-aaaa en la carpeta actual. No lee argumentos ni configuracion;\n"
    "la barra espaciadora lo termina.\n"
    "\n"
    "  --help      muestra esta ayuda\n"
    "  --version   muestra la version y el commit\n";

// Print the help or the version when asked; false when the experiment should run.
// The status is non-zero when the text could not be written.
bool answer_request(int argc, char** argv, int* status) {
  if (argc < 2) return false;
  if (std::strcmp(argv[1], "--help") == 0) {
    std::fputs(HELP, stdout);
  } else if (std::strcmp(argv[1], "--version") == 0) {
    std::printf("testnuv %s\n", version_text());
  } else {
    return false;
  }
  *status = std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  int status = 0;
  if (answer_request(argc, argv, &status)) return status;
  // NOTE: after the answers, so that --help into a closed stdout still reports its failure.
  platform_start_process();
  prepare_message_output();
  set_provenance_program("testnuv", program_arguments(argc, argv));
  set_provenance_digest(sha256_of_file);
  watch_stop_requests();  // before the start-up: a request during it ends the program in order
  experiment_main(SCREEN_FULLSCREEN);
}
