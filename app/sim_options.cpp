// The simulator's command line, read with CLI11.
//
// CLI11 splits the command line: "--option value" and "--option=value", and
// never takes a word that starts with "--" as a value. Every option is read as
// texts so that a missing value, a repeated option and a malformed number or
// date each get their own Spanish message; the checks here are strict: no
// blanks, no signs where none belong, two digits for every date field.
#include "app/sim_options.h"

#include <charconv>
#include <vector>

#include <CLI/CLI.hpp>

#include "runtime/clock.h"
#include "study/local_time.h"

const char SIM_USAGE[] =
    "uso: testnuv-sim [opciones]\n"
    "Ejecuta el experimento sin ventana, con un reloj virtual.\n"
    "\n"
    "  --seconds N     segundos de experimento que se simulan (por omision 43201, un ciclo)\n"
    "  --seed S        valor inicial del temporizador, que es la semilla del generador\n"
    "                  (por omision, los segundos enteros del reloj monotono de ahora)\n"
    "  --start FECHA   fecha y hora local de inicio, \"AAAA-MM-DD HH:MM:SS\", en la zona\n"
    "                  horaria de TZ (por omision, ahora)\n"
    "  --dir DIR       carpeta donde se escribe el registro de estudio (por omision, la actual)\n"
    "  --png FICHERO   guarda la imagen de la pantalla al terminar\n"
  "  --data DIR      escribe la carpeta de datos de la ejecucion: seconds.csv, bits.bin,\n"
  "                  provenance.json y SHA256SUMS (la misma que testnuv-study extract)\n"
  "  --force         con --data, sustituye una carpeta de datos que ya exista\n"
    "  --sync-every-record\n"
    "                  sincroniza el registro de estudio tras cada registro, como el programa\n"
    "                  en vivo (por omision, una sola vez al terminar)\n"
    "  --version       muestra la version y el commit\n"
    "  --help          muestra esta ayuda\n"
    "\n"
    "Estado de salida: 0 sin perdidas, 1 si falto algo por escribir, 2 argumentos no validos.\n";

namespace {

constexpr int64_t LARGEST_TIMER = INT32_MAX;  // the virtual timer stays a 32-bit number
constexpr int64_t LARGEST_SECONDS = INT32_MAX - 1;

// The texts CLI11 gathered for each option, one entry per time it was given.
struct OptionTexts {
  std::vector<std::string> seconds, seed, start, dir, png, data;
};

// Declare an option that takes one value and may be given more than once (checked afterwards).
void add_text_option(CLI::App& app, const char* name, std::vector<std::string>& texts) {
  app.add_option(name, texts)
      ->expected(0, 1)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
      ->allow_extra_args(false);
}

// Return the one value given for an option; false with a message when missing or repeated.
bool single_value(const char* name, const std::vector<std::string>& texts, std::string& value,
                  std::string& message) {
  if (texts.size() > 1) {
    message = std::string(name) + ": se ha dado mas de una vez";
    return false;
  }
  value = texts.front();
  if (value.empty()) message = std::string(name) + ": falta el valor";
  return !value.empty();
}

// Read a whole decimal integer from low to high; false with a message naming the option.
bool read_integer(const char* name, const std::string& text, int64_t low, int64_t high,
                  int64_t& value, std::string& message) {
  const char* last = text.data() + text.size();
  const auto [end, error] = std::from_chars(text.data(), last, value);
  if (error == std::errc() && end == last && value >= low && value <= high) return true;
  message = std::string(name) + ": valor no valido \"" + text + "\" (entero de " +
            std::to_string(low) + " a " + std::to_string(high) + ")";
  return false;
}

// Read a local "YYYY-MM-DD HH:MM:SS" from 1970 on, every field all digits, as a moment of the
// local zone: refused when the clock skipped it, its first moment (with a note) when repeated.
bool read_start(const std::string& text, SimOptions& options, std::string& message) {
  int64_t local = 0;
  if (!parse_local_time(text, local) || local < 0) {
    message = "--start: fecha no valida \"" + text + "\" (AAAA-MM-DD HH:MM:SS)";
    return false;
  }
  const LocalMoments moments = utc_from_local(local);
  if (moments.count == 0) {
    message = "--start: la hora \"" + text + "\" no existe en la zona horaria local (TZ): el reloj "
              "la salta al adelantarse por el horario de verano";
    return false;
  }
  options.start = moments.first;
  if (moments.count == 2) {
    options.start_note = "--start: la hora \"" + text + "\" se da dos veces en la zona horaria local "
                         "(TZ), al atrasarse el reloj; se toma la primera (UTC" +
                         offset_text(utc_offset_at(moments.first)) + "), no la segunda (UTC" +
                         offset_text(utc_offset_at(moments.second)) + ")";
  }
  return true;
}

// Take the values of the options given; false with a message at the first that is refused.
bool take_values(const OptionTexts& texts, SimOptions& options, std::string& message) {
  std::string value;
  if (!texts.seconds.empty() && (!single_value("--seconds", texts.seconds, value, message) ||
                                 !read_integer("--seconds", value, 0, LARGEST_SECONDS,
                                               options.seconds, message))) {
    return false;
  }
  if (!texts.seed.empty() &&
      (!single_value("--seed", texts.seed, value, message) ||
       !read_integer("--seed", value, INT32_MIN, INT32_MAX, options.seed, message))) {
    return false;
  }
  options.seed_given = !texts.seed.empty();
  if (!texts.start.empty() && (!single_value("--start", texts.start, value, message) ||
                               !read_start(value, options, message))) {
    return false;
  }
  options.start_given = !texts.start.empty();
  if (!texts.dir.empty() && !single_value("--dir", texts.dir, options.dir, message)) return false;
  if (!texts.png.empty() && !single_value("--png", texts.png, options.png, message)) return false;
  if (!texts.data.empty() && !single_value("--data", texts.data, options.data, message)) {
    return false;
  }
  if (options.force && options.data.empty()) {
    message = "--force: solo vale con --data";
    return false;
  }
#ifndef TESTNUV_HAVE_PNG
  if (!options.png.empty()) {
    message = "--png: esta compilacion no escribe PNG";
    return false;
  }
#endif
  return true;
}

// Say what CLI11 left over: an unknown option or a stray word.
std::string leftover_message(const std::string& word) {
  if (word.size() > 1 && word[0] == '-') return "opcion desconocida \"" + word + "\"";
  return "argumento inesperado \"" + word + "\"";
}

}  // namespace

SimRequest read_sim_options(const std::vector<std::string>& arguments, SimOptions& options,
                            std::string& message) {
  CLI::App app;
  app.set_help_flag();  // the help is the simulator's own, in Spanish
  app.allow_extras();
  bool help = false, version = false;
  OptionTexts texts;
  app.add_flag("-h,--help", help);
  app.add_flag("--version", version);
  add_text_option(app, "--seconds", texts.seconds);
  add_text_option(app, "--seed", texts.seed);
  add_text_option(app, "--start", texts.start);
  add_text_option(app, "--dir", texts.dir);
  add_text_option(app, "--png", texts.png);
  add_text_option(app, "--data", texts.data);
  app.add_flag("--force", options.force);
  app.add_flag("--sync-every-record", options.sync_every_record);
  try {
    std::vector<std::string> words(arguments.rbegin(), arguments.rend());  // CLI11 takes them last first
    if (!words.empty()) words.pop_back();  // the program's name
    app.parse(words);
  } catch (const CLI::ParseError& error) {
    message = std::string("argumentos no validos: ") + error.what();
    return SimRequest::refused;
  }
  if (help) return SimRequest::help;
  if (version) return SimRequest::version;
  const std::vector<std::string> leftover = app.remaining();
  if (!leftover.empty()) {
    message = leftover_message(leftover.front());
    return SimRequest::refused;
  }
  return take_values(texts, options, message) ? SimRequest::run : SimRequest::refused;
}

bool run_fits(const SimOptions& options, int64_t seed, int64_t start, std::string& message) {
  if (seed + options.seconds > LARGEST_TIMER) {
    message = "--seed y --seconds: el temporizador pasaria de " + std::to_string(LARGEST_TIMER) +
              " durante la simulacion (semilla " + std::to_string(seed) + " + " +
              std::to_string(options.seconds) + " segundos)";
    return false;
  }
  const int64_t last = start + (options.seconds > 0 ? options.seconds - 1 : 0);
  const int64_t end_of_9999 = seconds_from_civil(civil_time(9999, 12, 31, 23, 59, 59));
  if (last > end_of_9999 || seconds_from_civil(local_from_utc(last)) > end_of_9999) {
    message = "--start y --seconds: la simulacion pasaria del 9999-12-31 23:59:59 (la fecha "
              "tiene cuatro cifras de ano)";
    return false;
  }
  return true;
}
