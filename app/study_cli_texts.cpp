// Spanish texts of the parser: labels of the help layout, and parse errors read back
// from CLI11's English messages, whose forms are fixed by the library.
#include "app/study_cli_texts.h"

#include <memory>
#include <utility>
#include <regex>
#include <vector>

namespace {

constexpr const char* OPTIONS_GROUP = "Opciones";
constexpr const char* SUBCOMMANDS_GROUP = "Órdenes";
constexpr double LARGEST_VALUE_SHOWN = 1e300;  // a range whose top is this large has none

// One CLI11 message form and its Spanish text ($1, $2… are the parts of the form).
struct MessageForm {
  const char* english;
  const char* spanish;
};

const MessageForm FORMS[] = {
    {R"(^(.+) is required$)", "falta $1"},
    {R"(^The following arguments? (?:was|were) not expected: (.+)$)", "argumento inesperado: $1"},
    {R"(^(.+): (.+) not in \{(.+)\}$)", "$1: \"$2\" no es ninguno de {$3}"},
    {R"(^Could not convert: (.+) = (.*)$)", "$1: \"$2\" no es un valor valido"},
    {R"(^(.+): \d+ required \S+ missing$)", "$1: falta su valor"},
    {R"(^(.+) requires (.+)$)", "$1 necesita $2"},
    {R"(^(.+) excludes (.+)$)", "$1 no se admite con $2"},
    {R"(^(.+): Too many positional arguments with unlimited expected args$)", "$1: sobran argumentos"},
};

// Return CLI11's range message in Spanish, or an empty text when it is not one.
std::string range_message(const std::string& text) {
  static const std::regex RANGE(R"(^(.+): Value (.+) not in range (\S+) to (\S+)$)");
  std::smatch parts;
  if (!std::regex_match(text, parts, RANGE)) return {};
  const std::string option = parts[1], value = parts[2], low = parts[3], high = parts[4];
  if (std::stod(high) >= LARGEST_VALUE_SHOWN) return option + ": " + value + " no puede ser negativo";
  auto whole = [](const std::string& number) {
    const size_t point = number.find('.');
    return point == std::string::npos ? number : number.substr(0, point);
  };
  return option + ": " + value + " no esta entre " + whole(low) + " y " + whole(high);
}

// CLI11's formatter with the type and check names of option lines in Spanish too
// ("INT in [60 - 31622400]" becomes "ENTERO de 60 a 31622400").
class SpanishFormatter : public CLI::Formatter {
 public:
  std::string make_option_opts(const CLI::Option* option) const override {
    static const std::pair<std::regex, const char*> WORDS[] = {
        {std::regex(R"(\b(?:U?INT) in \[(\S+) - (\S+)\])"), "ENTERO de $1 a $2"},
        {std::regex(R"(\bU?INT\b)"), "ENTERO"},
        {std::regex(R"(\bFLOAT\b)"), "NUMERO"},
        {std::regex(R"(\bTEXT\b)"), "TEXTO"},
        {std::regex(R"(\bNONNEGATIVE\b)"), "NO NEGATIVO"},
    };
    std::string text = CLI::Formatter::make_option_opts(option);
    for (const auto& [english, spanish] : WORDS) text = std::regex_replace(text, english, spanish);
    return text;
  }
};

}  // namespace

void use_spanish_parser_texts(CLI::App& app) {
  auto formatter = std::make_shared<SpanishFormatter>();
  formatter->label("Usage", "Uso");
  formatter->label("OPTIONS", "OPCIONES");
  formatter->label("SUBCOMMAND", "ORDEN");
  formatter->label("SUBCOMMANDS", "ORDENES");
  formatter->label("Positionals", "Argumentos");
  formatter->label("REQUIRED", "OBLIGATORIO");
  formatter->label("Needs", "Necesita");
  formatter->label("Excludes", "Excluye");
  app.formatter(formatter);
  app.option_defaults()->group(OPTIONS_GROUP);
  app.set_help_flag("-h,--help", "muestra esta ayuda y termina");
}

void name_spanish_subcommands(CLI::App& app) {
  for (CLI::App* subcommand : app.get_subcommands({})) {
    subcommand->group(SUBCOMMANDS_GROUP);
    if (CLI::Option* help = subcommand->get_help_ptr()) help->group(OPTIONS_GROUP);
  }
}

std::string spanish_parse_error(const CLI::Error& error, const CLI::App& app) {
  const std::string text = error.what();
  if (text == "A subcommand is required") {
    std::string names;
    for (const CLI::App* subcommand : app.get_subcommands({})) names += (names.empty() ? "" : ", ") + subcommand->get_name();
    return "falta la orden (" + names + ")";
  }
  const std::string range = range_message(text);
  if (!range.empty()) return range;
  for (const MessageForm& form : FORMS) {
    const std::regex pattern(form.english);
    if (std::regex_match(text, pattern)) return std::regex_replace(text, pattern, form.spanish);
  }
  return "argumentos no validos: " + text;
}
