// Report texts. A name in braces ("{mean}", "{share}", "{second}", "{zone}"…) is a gap that
// the report fills: with the exact expected value, a figure, a name or a date.
#include "study/report_texts.h"

namespace {

constexpr ReportTexts SPANISH = {
    "es", "Informe del estudio", "Generado por testnuv-study", "Carpetas",
    "Resultados", "Medida", "Valor", "Segundos", "Unos", "Ceros", "Z de toda la serie", "p (bilateral)",
    "Prueba de varianza: χ² = Σ z²", "grados de libertad", "p (cola superior)", "Z de Stouffer de las ventanas de 300 s",
    "Z de Stouffer de las ventanas de 900 s", "Ajuste a Binomial(200, ½): χ²", "Autocorrelación de retardo 1 de z",
    "Prueba de rachas sobre los bits", "rachas", "no disponible",
    "Ventanas", "Anchura (s)", "Ventanas completas", "p < 0,05", "Bonferroni p < 0,05",
    "Benjamini–Hochberg q < 0,05",
    "Las ventanas se alinean con las comprobaciones del programa (segundos 1–300, 301–600, …); sólo cuentan las "
    "completas, como en el registro. Con muchas ventanas, alrededor del 5 % tiene p < 0,05 por puro azar: por eso se "
    "corrigen con Bonferroni y con Benjamini–Hochberg.",
    "Gráficos", "Desviación acumulada",
    "Σ(X − 100) segundo a segundo, con las envolventes ±1,96σ y ±3,09σ (σ = √(50 n)). Las líneas discontinuas "
    "verticales marcan el final de cada ciclo de 12 horas (marcas cortas sobre el eje cuando están demasiado juntas "
    "para verse) y las franjas sombreadas, los eventos. Arrastre para "
    "ampliar; doble clic para volver.",
    "z de las ventanas",
    "z de cada ventana de 300 s y de 900 s, con las líneas ±1,96; en rojo, las ventanas significativas tras "
    "Benjamini–Hochberg (q < 0,05).",
    "Unos por segundo",
    "Número de segundos con cada recuento de unos, frente a lo esperado de una Binomial(200, ½).",
    "Varianza acumulada",
    "Σ(z² − 1) segundo a segundo, con la envolvente ±1,96√(2n): sube si los segundos varían más de lo que da el azar.",
    "Eventos",
    "Los eventos deben fijarse antes de mirar los datos. Un evento elegido después de ver una desviación no prueba "
    "nada: su p ya no significa lo que dice.",
    "Etiqueta", "Inicio", "Fin", "Z de Stouffer de los eventos", "Sin eventos.",
    "Las horas locales de los eventos se leen en la zona horaria de la primera carpeta:",
    "Controles",
    "Cada control repite el análisis con otra semilla, de la misma longitud y con los mismos eventos, sólo con el "
    "generador. La p empírica es (1 + controles al menos igual de extremos) / (controles + 1).",
    "Controles", "Semilla de los controles", "p empírica de Z", "p empírica de la Z de los eventos",
    "Sin controles.",
    "Estaciones combinadas",
    "En cada segundo de reloj, la Z de Stouffer de las estaciones que funcionaban (Σ zᵢ / √m), y su prueba de "
    "varianza, como hacen las redes de estaciones.",
    "Segundos de reloj", "Z de la suma de las Z por segundo", "χ² = Σ (Z por segundo)²", "Z de Stouffer de las Z de cada carpeta",
    "Procedencia", "Carpeta", "Campo",
    "¿Por qué el «Desvio medio» del registro ronda 6?",
    "El registro de estudio da, en cada ventana, la desviación media de los segundos que se inclinaron hacia un "
    "lado: la media de |unos − 100| sólo entre los segundos que se inclinaron hacia ese dígito. Aun con bits "
    "perfectamente al azar, un segundo tiene una desviación típica de √50 ≈ 7,07, y la media de esa desviación entre "
    "los que se inclinan hacia un lado es {mean}. Por eso las cifras rondan 6 en cualquier ventana, con o sin efecto.",
    "Esas cifras no dicen si la ventana se apartó del azar: no tienen en cuenta cuántos segundos se inclinaron hacia "
    "cada lado ni la suma total.",
    "La z de una ventana sí lo dice: z = Σ(X − 100) / √(50 n) mide la desviación total en desviaciones típicas, y p "
    "es la probabilidad de una |z| al menos igual de grande por puro azar. Con muchas ventanas, unas pocas tendrán "
    "p < 0,05 por azar; la Z de toda la serie, la de Stouffer y las p corregidas responden por el conjunto.",
    "Hora", "+1,96σ", "−1,96σ", "+3,09σ", "−3,09σ", "Σ(X − 100)", "Σ(z² − 1)", "Unos por segundo", "Binomial(200, ½)",
    "Segundos", "observado", "significativas (BH)", "combinadas", "ventanas de",
    ",", "\u202F",
    {"ene", "feb", "mar", "abr", "may", "jun", "jul", "ago", "sept", "oct", "nov", "dic"},
    {"enero", "febrero", "marzo", "abril", "mayo", "junio", "julio", "agosto", "septiembre", "octubre", "noviembre",
     "diciembre"},
    "Cómo leer este informe",
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
    "no disponible: con 10 segundos o menos ningún grupo de recuentos llega a 5 segundos esperados",
    "Las ventanas de una anchura son iguales y se suceden sin hueco, así que su Z de Stouffer es la Z de los "
    "segundos que cubren: no son dos pruebas distintas.",
    "error típico",
    "La órbita del generador",
    "El generador recorre una sola órbita de 2³¹ estados (2\u202F147\u202F483\u202F648 bits, unos 124,3 días a 200 "
    "bits por segundo): cada semilla es un punto de esa órbita y cada serie, un tramo de ella. La p de la órbita es "
    "la parte de todos los tramos de la órbita de la misma longitud cuyo recuento de unos se aparta de la mitad al "
    "menos tanto como el de la serie.",
    "Lea la p de la órbita: es exacta. La p normal supone bits independientes; coincide con la de la órbita en "
    "series cortas, pero en series de más de unos dos meses se equivoca de escala.",
    "Inicio en la órbita", "Bits", "Segundos usados", "Parte de la órbita", "p normal", "p de la órbita",
    "no disponible: la serie contiene la órbita entera, cuyo recuento fija el generador; desde el segundo {second} "
    "se repite bit a bit y esos segundos no cuentan dos veces",
    "Parte de la órbita que cubren los datos: {share}.",
    "{a} y {b} comparten {seconds} segundos de bits de la órbita: esos segundos no son independientes.",
    "Fecha y hora en {zone} · inicio: {start}",
    "Ninguna ventana completa de 5 minutos: no hay z de ventanas que dibujar.", "Eventos", "la órbita se repite", "fin de ciclo",
    "De {b} se dejan fuera {seconds} segundos (del {first} al {last}): sus bits ya los cuenta {a}.",
    "Con --allow-shared-bits los segundos que comparten las carpetas cuentan dos veces: los resultados combinados "
    "no son de bits independientes.",
    "Z combinada de las p de la órbita ({folders} carpetas; cada p convertida en su z, con el signo de su "
    "desviación, y combinadas como las Z normales): {z} (p = {p}).",
};

constexpr ReportTexts ENGLISH = {
    "en", "Study report", "Generated by testnuv-study", "Folders",
    "Results", "Measure", "Value", "Seconds", "Ones", "Zeros", "Z of the whole run", "p (two-sided)",
    "Variance test: χ² = Σ z²", "degrees of freedom", "p (upper tail)", "Stouffer Z of the 300-s windows",
    "Stouffer Z of the 900-s windows", "Fit to Binomial(200, ½): χ²", "Lag-1 autocorrelation of z",
    "Runs test on the bits", "runs", "not available",
    "Windows", "Width (s)", "Complete windows", "p < 0.05", "Bonferroni p < 0.05", "Benjamini–Hochberg q < 0.05",
    "Windows are aligned with the program's checkpoints (seconds 1–300, 301–600, …); only complete ones count, as in "
    "the log. With many windows about 5 % have p < 0.05 by chance alone, hence the Bonferroni and Benjamini–Hochberg "
    "corrections.",
    "Plots", "Cumulative deviation",
    "Σ(X − 100) second by second, with the ±1.96σ and ±3.09σ envelopes (σ = √(50 n)). Dashed vertical lines mark "
    "the end of each 12-hour cycle (short ticks on the axis when they are too close to be seen), shaded bands the "
    "events. Drag to zoom; double-click to go back.",
    "Window z-scores",
    "z of every 300-s and 900-s window, with the ±1.96 lines; in red, the windows significant after "
    "Benjamini–Hochberg (q < 0.05).",
    "Ones per second",
    "Number of seconds with each count of ones, against the expectation of Binomial(200, ½).",
    "Cumulative variance",
    "Σ(z² − 1) second by second, with the ±1.96√(2n) envelope: it climbs when seconds vary more than chance gives.",
    "Events",
    "Events must be fixed before the data are looked at. An event chosen after seeing a deviation proves nothing: "
    "its p no longer means what it says.",
    "Label", "Start", "End", "Stouffer Z of the events", "No events.",
    "Local event times are read in the time zone of the first folder:",
    "Controls",
    "Each control repeats the analysis with another seed, of the same length and with the same events, from the "
    "generator alone. The empirical p is (1 + controls at least as extreme) / (controls + 1).",
    "Controls", "Control seed", "Empirical p of Z", "Empirical p of the events' Z", "No controls.",
    "Stations combined",
    "At every wall-clock second, the Stouffer Z of the stations that ran (Σ zᵢ / √m), and its variance test, as "
    "networks of stations do.",
    "Wall-clock seconds", "Z of the sum of per-second Zs", "χ² = Σ (per-second Z)²", "Stouffer Z of the folders' Zs",
    "Provenance", "Folder", "Field",
    "Why is the log's “Desvio medio” about 6?",
    "The study log gives, for each window, the average deviation of the seconds that leaned one way: the mean of "
    "|ones − 100| over the seconds that leaned toward that digit only. Even with perfectly random bits a second has a "
    "standard deviation of √50 ≈ 7.07, and the mean of that deviation over the seconds leaning one way is {mean}. "
    "That is why the figures are about 6 in any window, with or without an effect.",
    "Those figures do not say whether the window departed from chance: they ignore how many seconds leaned each way "
    "and the total sum.",
    "A window's z does: z = Σ(X − 100) / √(50 n) measures the total deviation in standard deviations, and p is the "
    "probability of a |z| at least as large by chance alone. With many windows a few will have p < 0.05 by chance; "
    "the whole run's Z, Stouffer's Z and the corrected p answer for the whole.",
    "Time", "+1.96σ", "−1.96σ", "+3.09σ", "−3.09σ", "Σ(X − 100)", "Σ(z² − 1)", "Ones per second", "Binomial(200, ½)",
    "Seconds", "observed", "significant (BH)", "combined", "windows of",
    ".", ",",
    {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"},
    {"January", "February", "March", "April", "May", "June", "July", "August", "September", "October", "November",
     "December"},
    "How to read this report",
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
    "not available: with 10 seconds or fewer no group of counts reaches 5 expected seconds",
    "The windows of one width are equal and follow one another without a gap, so their Stouffer Z is the Z of the "
    "seconds they cover: they are not two different tests.",
    "standard error",
    "The generator's orbit",
    "The generator runs through one orbit of 2³¹ states (2,147,483,648 bits, about 124.3 days at 200 bits a "
    "second): every seed is a point of that orbit and every run a segment of it. The orbit p is the share of all "
    "segments of the orbit of the same length whose count of ones strays from half at least as far as the run's.",
    "Read the orbit p: it is exact. The normal p assumes independent bits; it agrees with the orbit p for short "
    "runs, but for runs longer than about two months its scale is wrong.",
    "Start on the orbit", "Bits", "Seconds used", "Share of the orbit", "normal p", "orbit p",
    "not available: the run holds the whole orbit, whose count the generator fixes; from second {second} on it "
    "repeats bit for bit, and those seconds do not count twice",
    "Share of the orbit the data cover: {share}.",
    "{a} and {b} share {seconds} seconds of bits of the orbit: those seconds are not independent.",
    "Date and time in {zone} · start: {start}",
    "No complete 5-minute window: no window z to plot.", "Events", "the orbit repeats", "cycle end",
    "{seconds} seconds of {b} ({first} to {last}) are left out: {a} already counts their bits.",
    "With --allow-shared-bits the seconds the folders share count twice: the combined results are not of "
    "independent bits.",
    "Combined Z of the orbit p ({folders} folders; each p turned into its z, with the sign of its deviation, and "
    "combined as the normal Zs are): {z} (p = {p}).",
};

// Every text is given: the last member is set only when none was left out.
static_assert(!SPANISH.orbit_combined.empty() && !ENGLISH.orbit_combined.empty());

}  // namespace

const ReportTexts& report_texts(Language language) { return language == Language::english ? ENGLISH : SPANISH; }
