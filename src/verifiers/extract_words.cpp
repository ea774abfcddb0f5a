// The fixed word lists of claim extraction: month words and stop words.
#include <algorithm>
#include <array>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "unicode/case.hpp"
#include "verifiers/extract.hpp"

namespace qv::verifiers {

namespace {

// Stored precomposed, as normalised answers hold them.
constexpr std::array<std::string_view, 66> kMonthWords = {
    "january", "february", "march", "april", "may", "june", "july", "august", "september", "october",
    "november", "december", "jan", "feb", "mar", "apr", "jun", "jul", "aug", "sep", "sept", "oct", "nov",
    "dec", "enero", "febrero", "marzo", "abril", "mayo", "junio", "julio", "agosto", "septiembre",
    "setiembre", "octubre", "noviembre", "diciembre", "gener", "febrer", "març", "maig", "juny", "juliol",
    "agost", "setembre", "octubre", "novembre", "desembre", "januar", "februar", "märz", "mai", "juni",
    "juli", "oktober", "dezember", "janvier", "février", "mars", "avril", "juin", "juillet", "août",
    "septembre", "octobre", "décembre"};

constexpr std::array<std::string_view, 97> kEnglishStopWords = {
    "a", "an", "the", "and", "or", "but", "if", "then", "else", "of", "to", "in", "on", "at", "by", "for",
    "with", "from", "as", "is", "are", "was", "were", "be", "been", "being", "it", "its", "this", "that",
    "these", "those", "he", "she", "they", "we", "you", "i", "his", "her", "their", "our", "your", "not",
    "no", "yes", "do", "does", "did", "done", "can", "could", "will", "would", "should", "may", "might",
    "must", "have", "has", "had", "about", "into", "over", "under", "between", "also", "such", "more",
    "most", "other", "some", "any", "each", "which", "who", "whom", "whose", "when", "where", "why", "how",
    "than", "too", "very", "just", "only", "there", "here", "what", "while", "during", "per", "via", "upon",
    "within", "without"};

constexpr std::array<std::string_view, 57> kSpanishStopWords = {
    "el", "la", "los", "las", "un", "una", "unos", "unas", "y", "o", "u", "pero", "si", "de", "del", "a",
    "al", "en", "por", "para", "con", "sin", "sobre", "entre", "es", "son", "era", "eran", "ser", "está",
    "están", "que", "se", "su", "sus", "lo", "le", "les", "no", "sí", "como", "más", "menos", "muy", "ya",
    "también", "este", "esta", "estos", "estas", "ese", "esa", "esos", "esas", "hay", "ha", "han"};

constexpr std::array<std::string_view, 72> kGermanStopWords = {
    "der", "die", "das", "den", "dem", "des", "ein", "eine", "einer", "eines", "einem", "einen", "und",
    "oder", "aber", "wenn", "dann", "von", "vom", "zu", "zum", "zur", "in", "im", "an", "am", "auf", "für",
    "mit", "aus", "bei", "nach", "über", "unter", "zwischen", "ist", "sind", "war", "waren", "sein", "wird",
    "werden", "wurde", "hat", "haben", "hatte", "es", "er", "sie", "wir", "ihr", "ich", "du", "sich",
    "nicht", "kein", "keine", "ja", "auch", "noch", "nur", "sehr", "als", "wie", "dass", "dies", "diese",
    "dieser", "dieses", "jene", "so", "um"};

constexpr std::array<std::string_view, 72> kFrenchStopWords = {
    "le", "la", "les", "l", "un", "une", "des", "du", "de", "d", "et", "ou", "mais", "si", "à", "au",
    "aux", "en", "dans", "sur", "sous", "par", "pour", "avec", "sans", "entre", "chez", "est", "sont",
    "était", "étaient", "être", "sera", "seront", "a", "ont", "avait", "avoir", "il", "elle", "ils",
    "elles", "on", "nous", "vous", "je", "tu", "ce", "cet", "cette", "ces", "se", "sa", "son", "ses",
    "leur", "leurs", "ne", "pas", "que", "qui", "quoi", "dont", "où", "y", "aussi", "très", "plus",
    "moins", "comme", "donc", "ainsi"};

constexpr std::array<std::string_view, 92> kItalianStopWords = {
    "il", "lo", "la", "i", "gli", "le", "l", "un", "uno", "una", "e", "ed", "o", "ma", "se", "di", "del",
    "dello", "della", "dei", "degli", "delle", "a", "al", "allo", "alla", "ai", "agli", "alle", "da",
    "dal", "dallo", "dalla", "dai", "dagli", "dalle", "in", "nel", "nello", "nella", "nei", "negli",
    "nelle", "su", "sul", "sullo", "sulla", "sui", "sugli", "sulle", "con", "per", "tra", "fra", "è",
    "sono", "era", "erano", "essere", "sarà", "ha", "hanno", "aveva", "avere", "che", "chi", "cui", "si",
    "non", "più", "meno", "molto", "come", "anche", "questo", "questa", "questi", "queste", "quello",
    "quella", "quelli", "quelle", "ci", "vi", "ne", "lui", "lei", "loro", "noi", "voi", "io", "tu"};

// Every slot of each list holds a word (a missing entry would leave an empty
// one behind and the count would still hold).
template <std::size_t N>
constexpr bool all_filled(const std::array<std::string_view, N>& words) {
  for (std::string_view w : words) {
    if (w.empty()) return false;
  }
  return true;
}
static_assert(all_filled(kMonthWords) && all_filled(kEnglishStopWords) && all_filled(kSpanishStopWords) &&
              all_filled(kGermanStopWords) && all_filled(kFrenchStopWords) && all_filled(kItalianStopWords));

// A word list sorted once for binary search.
class WordList {
 public:
  explicit WordList(std::span<const std::string_view> words) : words_(words.begin(), words.end()) {
    std::sort(words_.begin(), words_.end());
  }
  bool contains(std::string_view word) const { return std::binary_search(words_.begin(), words_.end(), word); }

 private:
  std::vector<std::string_view> words_;
};

const WordList& stop_words_for(std::string_view locale) {
  static const WordList english(kEnglishStopWords);
  static const WordList spanish(kSpanishStopWords);
  static const WordList german(kGermanStopWords);
  static const WordList french(kFrenchStopWords);
  static const WordList italian(kItalianStopWords);
  if (locale == "es" || locale == "ca" || locale == "gl") return spanish;
  if (locale == "de") return german;
  if (locale == "fr") return french;
  if (locale == "it") return italian;
  return english;
}

}  // namespace

bool is_month_word(std::string_view word) {
  while (!word.empty() && word.back() == '.') word.remove_suffix(1);
  if (word.empty()) return false;
  static const WordList months(kMonthWords);
  return months.contains(unicode::to_lowercase(word));
}

bool is_stop_word(std::string_view lowered_word, std::string_view locale) {
  return stop_words_for(locale).contains(lowered_word);
}

}  // namespace qv::verifiers
