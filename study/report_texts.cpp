// Report texts. A name in braces ("{mean}", "{share}", "{second}", "{zone}"…) is a gap that
// the report fills: with the exact expected value, a figure, a name or a date.
#include "study/report_texts.h"

#include <cstddef>

namespace {

constexpr ReportTexts SPANISH = {
    .html_lang = "es",
    .title = "Informe del estudio",
    .generated_by = "Generado por testnuv-study",
    .folders_label = "Carpetas",
    .results = "Resultados",
    .measure = "Medida",
    .value = "Valor",
    .seconds = "Segundos",
    .ones = "Unos",
    .zeros = "Ceros",
    .run_z = "Z de toda la serie",
    .variance_chi2 = "Prueba de varianza: χ² = Σ z²",
    .degrees = "grados de libertad",
    .upper_p = "p (cola superior)",
    .stouffer_300 = "Z de Stouffer de las ventanas de 300 s",
    .stouffer_900 = "Z de Stouffer de las ventanas de 900 s",
    .fit_chi2 = "Ajuste a Binomial(200, ½): χ²",
    .lag1 = "Autocorrelación de retardo 1 de z",
    .runs_test = "Prueba de rachas sobre los bits",
    .runs = "rachas",
    .not_available = "no disponible",
    .windows = "Ventanas",
    .width = "Anchura (s)",
    .window_count = "Ventanas completas",
    .significant = "p < 0,05",
    .significant_bonferroni = "Bonferroni p < 0,05",
    .significant_bh = "Benjamini–Hochberg q < 0,05",
    .windows_note =
        "Las ventanas se alinean con las comprobaciones del programa (segundos 1–300, 301–600, …); sólo cuentan las "
        "completas, como en el registro. Con muchas ventanas, alrededor del 5 % tiene p < 0,05 por puro azar: por eso se "
        "corrigen con Bonferroni y con Benjamini–Hochberg.",
    .plots = "Gráficos",
    .plot_cumulative_deviation = "Desviación acumulada",
    .caption_cumulative_deviation =
        "Σ(X − 100) segundo a segundo, con las envolventes ±1,96σ y ±3,09σ (σ = √(50 n)). Las líneas discontinuas "
        "verticales marcan el final de cada ciclo de 12 horas (marcas cortas sobre el eje cuando están demasiado juntas "
        "para verse) y las franjas sombreadas, los eventos. Arrastre para "
        "ampliar; doble clic para volver.",
    .plot_window_z = "z de las ventanas",
    .caption_window_z =
        "z de cada ventana de 300 s y de 900 s, con las líneas ±1,96; en rojo, las ventanas significativas tras "
        "Benjamini–Hochberg (q < 0,05).",
    .plot_histogram = "Unos por segundo",
    .caption_histogram = "Número de segundos con cada recuento de unos, frente a lo esperado de una Binomial(200, ½).",
    .plot_cumulative_variance = "Varianza acumulada",
    .caption_cumulative_variance =
        "Σ(z² − 1) segundo a segundo, con la envolvente ±1,96√(2n): sube si los segundos varían más de lo que da el azar.",
    .events = "Eventos",
    .events_rule =
        "Los eventos deben fijarse antes de mirar los datos. Un evento elegido después de ver una desviación no prueba "
        "nada: su p ya no significa lo que dice.",
    .event_label = "Etiqueta",
    .event_start = "Inicio",
    .event_end = "Fin",
    .events_stouffer = "Z de Stouffer de los eventos",
    .no_events = "Sin eventos.",
    .events_zone = "Las horas locales de los eventos se leen en la zona horaria de la primera carpeta:",
    .controls = "Controles",
    .controls_text =
        "Cada control repite el análisis con otra semilla, de la misma longitud y con los mismos eventos, sólo con el "
        "generador. La p empírica es (1 + controles al menos igual de extremos) / (controles + 1).",
    .control_count = "Controles",
    .control_seed = "Semilla de los controles",
    .empirical_p_z = "p empírica de Z",
    .empirical_p_events = "p empírica de la Z de los eventos",
    .no_controls = "Sin controles.",
    .combined = "Estaciones combinadas",
    .combined_text =
        "En cada segundo de reloj, la Z de Stouffer de las estaciones que funcionaban (Σ zᵢ / √m), y su prueba de "
        "varianza, como hacen las redes de estaciones.",
    .combined_seconds = "Segundos de reloj",
    .combined_z = "Z de la suma de las Z por segundo",
    .combined_chi2 = "χ² = Σ (Z por segundo)²",
    .folders_z = "Z de Stouffer de las Z de cada carpeta",
    .provenance = "Procedencia",
    .folder = "Carpeta",
    .field = "Campo",
    .log_deviation_title = "¿Por qué el «Desvio medio» del registro ronda 6?",
    .log_deviation_text_1 =
        "El registro de estudio da, en cada ventana, la desviación media de los segundos que se inclinaron hacia un "
        "lado: la media de |unos − 100| sólo entre los segundos que se inclinaron hacia ese dígito. Aun con bits "
        "perfectamente al azar, un segundo tiene una desviación típica de √50 ≈ 7,07, y la media de esa desviación entre "
        "los que se inclinan hacia un lado es {mean}. Por eso las cifras rondan 6 en cualquier ventana, con o sin efecto.",
    .log_deviation_text_2 =
        "Esas cifras no dicen si la ventana se apartó del azar: no tienen en cuenta cuántos segundos se inclinaron hacia "
        "cada lado ni la suma total.",
    .log_deviation_text_3 =
        "La z de una ventana sí lo dice: z = Σ(X − 100) / √(50 n) mide la desviación total en desviaciones típicas, y p "
        "es la probabilidad de una |z| al menos igual de grande por puro azar. Con muchas ventanas, unas pocas tendrán "
        "p < 0,05 por azar; la Z de toda la serie, la de Stouffer y las p corregidas responden por el conjunto.",
    .envelope_196_up = "+1,96σ",
    .envelope_196_down = "−1,96σ",
    .envelope_309_up = "+3,09σ",
    .envelope_309_down = "−3,09σ",
    .cumulative_deviation_axis = "Σ(X − 100)",
    .cumulative_variance_axis = "Σ(z² − 1)",
    .ones_per_second = "Unos por segundo",
    .expected = "Binomial(200, ½)",
    .seconds_axis = "Segundos",
    .observed = "observado",
    .significant_bh_points = "significativas (BH)",
    .combined_curve = "combinadas",
    .window_curve = "ventanas de",
    .decimal_mark = ",",
    .group_mark = "\u202F",
    .months_short = {"ene", "feb", "mar", "abr", "may", "jun", "jul", "ago", "sept", "oct", "nov", "dic"},
    .months_long =
        {"enero", "febrero", "marzo", "abril", "mayo", "junio", "julio", "agosto", "septiembre", "octubre", "noviembre",
         "diciembre"},
    .reading_title = "Cómo leer este informe",
    .reading_items =
        {"Z|mide cuánto se apartan los unos de la mitad, en desviaciones típicas. Con bits al azar ronda 0 y pocas veces "
         "pasa de ±2.",
         "p|es la probabilidad de que el puro azar dé una desviación al menos tan grande como la observada. Una p por "
         "debajo de 0,05 es poco habitual, pero entre muchas pruebas alguna la tendrá por azar.",
         "χ²|suma los cuadrados de las z de cada segundo: crece si los segundos varían más de lo que da el azar, hacia "
         "cualquier lado. Su p es la de la cola superior.",
         "Z de Stouffer|junta varias z en una: su suma dividida por la raíz de cuántas son. Se usa para las ventanas, "
         "los eventos y las estaciones.",
         "Envolventes|marcan hasta dónde llega por azar la curva acumulada el 95 % (±1,96σ) y el 99,8 % (±3,09σ) de "
         "las veces. Cruzarlas en algún punto merece atención, pero no prueba nada por sí solo."},
    .fit_too_few = "no disponible: con 10 segundos o menos ningún grupo de recuentos llega a 5 segundos esperados",
    .stouffer_tiling =
        "Las ventanas de una anchura son iguales y se suceden sin hueco, así que su Z de Stouffer es la Z de los "
        "segundos que cubren: no son dos pruebas distintas.",
    .standard_error = "error típico",
    .orbit = "La órbita del generador",
    .orbit_text =
        "El generador recorre una sola órbita de 2³¹ estados (2\u202F147\u202F483\u202F648 bits, unos 124,3 días a 200 "
        "bits por segundo): cada semilla es un punto de esa órbita y cada serie, un tramo de ella. La p de la órbita es "
        "la parte de todos los tramos de la órbita de la misma longitud cuyo recuento de unos se aparta de la mitad al "
        "menos tanto como el de la serie.",
    .orbit_read =
        "Lea la p de la órbita: es exacta. La p normal supone bits independientes; coincide con la de la órbita en "
        "series cortas, pero en series de más de unos dos meses se equivoca de escala.",
    .orbit_start = "Inicio en la órbita",
    .orbit_draws = "Bits",
    .orbit_seconds_used = "Segundos usados",
    .orbit_part = "Parte de la órbita",
    .normal_p = "p normal",
    .orbit_p = "p de la órbita",
    .orbit_whole =
        "no disponible: la serie contiene la órbita entera, cuyo recuento fija el generador; desde el segundo {second} "
        "se repite bit a bit y esos segundos no cuentan dos veces",
    .orbit_covered = "Parte de la órbita que cubren los datos: {share}.",
    .orbit_overlap =
        "{a} y {b} comparten {seconds} segundos de bits de la órbita: esos segundos no son independientes.",
    .time_axis = "Fecha y hora en {zone} · inicio: {start}",
    .no_complete_window = "Ninguna ventana completa de 5 minutos: no hay z de ventanas que dibujar.",
    .events_legend = "Eventos",
    .repeat_mark = "la órbita se repite",
    .orbit_left_shared =
        "De {b} se dejan fuera {seconds} segundos (del {first} al {last}): sus bits ya los cuenta {a}.",
    .orbit_shared_kept =
        "Con --allow-shared-bits los segundos que comparten las carpetas cuentan dos veces: los resultados combinados "
        "no son de bits independientes.",
    .orbit_combined =
        "Z combinada de las p de la órbita ({folders} carpetas; cada p convertida en su z, con el signo de su "
        "desviación, y combinadas como las Z normales): {z} (p = {p}).",
};

constexpr ReportTexts ENGLISH = {
    .html_lang = "en",
    .title = "Study report",
    .generated_by = "Generated by testnuv-study",
    .folders_label = "Folders",
    .results = "Results",
    .measure = "Measure",
    .value = "Value",
    .seconds = "Seconds",
    .ones = "Ones",
    .zeros = "Zeros",
    .run_z = "Z of the whole run",
    .variance_chi2 = "Variance test: χ² = Σ z²",
    .degrees = "degrees of freedom",
    .upper_p = "p (upper tail)",
    .stouffer_300 = "Stouffer Z of the 300-s windows",
    .stouffer_900 = "Stouffer Z of the 900-s windows",
    .fit_chi2 = "Fit to Binomial(200, ½): χ²",
    .lag1 = "Lag-1 autocorrelation of z",
    .runs_test = "Runs test on the bits",
    .runs = "runs",
    .not_available = "not available",
    .windows = "Windows",
    .width = "Width (s)",
    .window_count = "Complete windows",
    .significant = "p < 0.05",
    .significant_bonferroni = "Bonferroni p < 0.05",
    .significant_bh = "Benjamini–Hochberg q < 0.05",
    .windows_note =
        "Windows are aligned with the program's checkpoints (seconds 1–300, 301–600, …); only complete ones count, as in "
        "the log. With many windows about 5 % have p < 0.05 by chance alone, hence the Bonferroni and Benjamini–Hochberg "
        "corrections.",
    .plots = "Plots",
    .plot_cumulative_deviation = "Cumulative deviation",
    .caption_cumulative_deviation =
        "Σ(X − 100) second by second, with the ±1.96σ and ±3.09σ envelopes (σ = √(50 n)). Dashed vertical lines mark "
        "the end of each 12-hour cycle (short ticks on the axis when they are too close to be seen), shaded bands the "
        "events. Drag to zoom; double-click to go back.",
    .plot_window_z = "Window z-scores",
    .caption_window_z =
        "z of every 300-s and 900-s window, with the ±1.96 lines; in red, the windows significant after "
        "Benjamini–Hochberg (q < 0.05).",
    .plot_histogram = "Ones per second",
    .caption_histogram = "Number of seconds with each count of ones, against the expectation of Binomial(200, ½).",
    .plot_cumulative_variance = "Cumulative variance",
    .caption_cumulative_variance =
        "Σ(z² − 1) second by second, with the ±1.96√(2n) envelope: it climbs when seconds vary more than chance gives.",
    .events = "Events",
    .events_rule =
        "Events must be fixed before the data are looked at. An event chosen after seeing a deviation proves nothing: "
        "its p no longer means what it says.",
    .event_label = "Label",
    .event_start = "Start",
    .event_end = "End",
    .events_stouffer = "Stouffer Z of the events",
    .no_events = "No events.",
    .events_zone = "Local event times are read in the time zone of the first folder:",
    .controls = "Controls",
    .controls_text =
        "Each control repeats the analysis with another seed, of the same length and with the same events, from the "
        "generator alone. The empirical p is (1 + controls at least as extreme) / (controls + 1).",
    .control_count = "Controls",
    .control_seed = "Control seed",
    .empirical_p_z = "Empirical p of Z",
    .empirical_p_events = "Empirical p of the events' Z",
    .no_controls = "No controls.",
    .combined = "Stations combined",
    .combined_text =
        "At every wall-clock second, the Stouffer Z of the stations that ran (Σ zᵢ / √m), and its variance test, as "
        "networks of stations do.",
    .combined_seconds = "Wall-clock seconds",
    .combined_z = "Z of the sum of per-second Zs",
    .combined_chi2 = "χ² = Σ (per-second Z)²",
    .folders_z = "Stouffer Z of the folders' Zs",
    .provenance = "Provenance",
    .folder = "Folder",
    .field = "Field",
    .log_deviation_title = "Why is the log's “Desvio medio” about 6?",
    .log_deviation_text_1 =
        "The study log gives, for each window, the average deviation of the seconds that leaned one way: the mean of "
        "|ones − 100| over the seconds that leaned toward that digit only. Even with perfectly random bits a second has a "
        "standard deviation of √50 ≈ 7.07, and the mean of that deviation over the seconds leaning one way is {mean}. "
        "That is why the figures are about 6 in any window, with or without an effect.",
    .log_deviation_text_2 =
        "Those figures do not say whether the window departed from chance: they ignore how many seconds leaned each way "
        "and the total sum.",
    .log_deviation_text_3 =
        "A window's z does: z = Σ(X − 100) / √(50 n) measures the total deviation in standard deviations, and p is the "
        "probability of a |z| at least as large by chance alone. With many windows a few will have p < 0.05 by chance; "
        "the whole run's Z, Stouffer's Z and the corrected p answer for the whole.",
    .envelope_196_up = "+1.96σ",
    .envelope_196_down = "−1.96σ",
    .envelope_309_up = "+3.09σ",
    .envelope_309_down = "−3.09σ",
    .cumulative_deviation_axis = "Σ(X − 100)",
    .cumulative_variance_axis = "Σ(z² − 1)",
    .ones_per_second = "Ones per second",
    .expected = "Binomial(200, ½)",
    .seconds_axis = "Seconds",
    .observed = "observed",
    .significant_bh_points = "significant (BH)",
    .combined_curve = "combined",
    .window_curve = "windows of",
    .decimal_mark = ".",
    .group_mark = ",",
    .months_short = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"},
    .months_long =
        {"January", "February", "March", "April", "May", "June", "July", "August", "September", "October", "November",
         "December"},
    .reading_title = "How to read this report",
    .reading_items =
        {"Z|measures how far the ones stray from half, in standard deviations. With random bits it is about 0 and "
         "seldom beyond ±2.",
         "p|is the probability that chance alone gives a deviation at least as large as the one observed. A p below "
         "0.05 is unusual, but among many tests some will have one by chance.",
         "χ²|adds up the squares of every second's z: it grows when seconds vary more than chance gives, either way. "
         "Its p is the upper tail's.",
         "Stouffer Z|joins several z into one: their sum divided by the square root of how many there are. It is used "
         "for the windows, the events and the stations.",
         "Envelopes|show how far chance takes the cumulative curve 95 % (±1.96σ) and 99.8 % (±3.09σ) of the time. "
         "Crossing them somewhere deserves attention, but proves nothing on its own."},
    .fit_too_few = "not available: with 10 seconds or fewer no group of counts reaches 5 expected seconds",
    .stouffer_tiling =
        "The windows of one width are equal and follow one another without a gap, so their Stouffer Z is the Z of the "
        "seconds they cover: they are not two different tests.",
    .standard_error = "standard error",
    .orbit = "The generator's orbit",
    .orbit_text =
        "The generator runs through one orbit of 2³¹ states (2,147,483,648 bits, about 124.3 days at 200 bits a "
        "second): every seed is a point of that orbit and every run a segment of it. The orbit p is the share of all "
        "segments of the orbit of the same length whose count of ones strays from half at least as far as the run's.",
    .orbit_read =
        "Read the orbit p: it is exact. The normal p assumes independent bits; it agrees with the orbit p for short "
        "runs, but for runs longer than about two months its scale is wrong.",
    .orbit_start = "Start on the orbit",
    .orbit_draws = "Bits",
    .orbit_seconds_used = "Seconds used",
    .orbit_part = "Share of the orbit",
    .normal_p = "normal p",
    .orbit_p = "orbit p",
    .orbit_whole =
        "not available: the run holds the whole orbit, whose count the generator fixes; from second {second} on it "
        "repeats bit for bit, and those seconds do not count twice",
    .orbit_covered = "Share of the orbit the data cover: {share}.",
    .orbit_overlap = "{a} and {b} share {seconds} seconds of bits of the orbit: those seconds are not independent.",
    .time_axis = "Date and time in {zone} · start: {start}",
    .no_complete_window = "No complete 5-minute window: no window z to plot.",
    .events_legend = "Events",
    .repeat_mark = "the orbit repeats",
    .orbit_left_shared = "{seconds} seconds of {b} ({first} to {last}) are left out: {a} already counts their bits.",
    .orbit_shared_kept =
        "With --allow-shared-bits the seconds the folders share count twice: the combined results are not of "
        "independent bits.",
    .orbit_combined =
        "Combined Z of the orbit p ({folders} folders; each p turned into its z, with the sign of its deviation, and "
        "combined as the normal Zs are): {z} (p = {p}).",
};

// Return whether every text of a list is given: a short list is filled up with empty texts.
template <size_t N>
constexpr bool all_given(const std::array<std::string_view, N>& list) {
  for (std::string_view text : list)
    if (text.empty()) return false;
  return true;
}

// Every member is named in the order of ReportTexts (the compiler refuses another order, and a
// member left out with -Werror=missing-field-initializers); the lists are checked here.
static_assert(all_given(SPANISH.months_short) && all_given(SPANISH.months_long) && all_given(SPANISH.reading_items));
static_assert(all_given(ENGLISH.months_short) && all_given(ENGLISH.months_long) && all_given(ENGLISH.reading_items));

}  // namespace

const ReportTexts& report_texts(Language language) { return language == Language::english ? ENGLISH : SPANISH; }
