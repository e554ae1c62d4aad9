#include "ora_charsets.h"

#include <cctype>

#include "ora_dump_format.h"
#include "tk_text_decoder.h"

namespace {

struct id_name {
    uint32_t id;
    const char* name;
};

struct name_code_page {
    const char* name;
    int32_t code_page;
};

// Oracle character-set id -> encoding name (empty: no name known).
constexpr id_name k_id_names[] = {
    {1, "us-ascii"}, {2, "dec-mcs"}, {3, ""}, {4, "cp437"}, {5, "cp037"}, {6, "cp500"},
    {7, "cp01140"}, {8, "cp285"}, {9, "cp01146"}, {10, "cp850"}, {11, "din_66003"},
    {12, "nf_z_62-010_(1973)"}, {13, ""}, {14, "es"}, {15, "sen_850200_b"}, {16, ""}, {17, "it"},
    {18, ""}, {19, ""}, {20, "jus_i.b1.002"}, {21, ""}, {22, ""}, {23, ""}, {25, ""},
    {27, "cp01148"}, {28, "cp00858"}, {31, "iso-8859-1"}, {32, "iso-8859-2"}, {33, "iso-8859-3"},
    {34, "iso-8859-4"}, {35, "iso-8859-5"}, {36, "iso-8859-6"}, {37, "iso-8859-7"},
    {38, "iso-8859-8-i"}, {39, "iso-8859-9"}, {40, "iso-8859-10"}, {41, "tis-620"}, {42, ""},
    {43, ""}, {44, ""}, {45, "windows-1258"}, {46, "iso-8859-15"}, {47, "iso-8859-13"},
    {48, "iso-8859-14"}, {49, ""}, {50, ""}, {51, "koi8-u"}, {52, ""}, {61, ""}, {70, "cp420"},
    {72, ""}, {81, ""}, {82, ""}, {90, "cp037"}, {91, "cp500"}, {92, "cp424"}, {93, "cp1026"},
    {94, "cp871"}, {95, "cp284"}, {96, "ibm1047"}, {97, "cp01140"}, {98, "cp01145"},
    {99, "cp01148"}, {100, "ibm1047"}, {101, "cp00924"}, {110, ""}, {113, ""}, {114, ""},
    {140, ""}, {150, "cp852"}, {152, "cp866"}, {153, ""}, {154, "cp862"}, {155, "cp855"},
    {156, "cp857"}, {158, ""}, {159, ""}, {160, "cp860"}, {161, "cp861"}, {162, ""}, {163, ""},
    {164, ""}, {165, ""}, {166, ""}, {167, ""}, {170, "windows-1250"}, {171, "windows-1251"},
    {172, ""}, {173, ""}, {174, "windows-1253"}, {175, "windows-1255"}, {176, ""},
    {177, "windows-1254"}, {178, "windows-1252"}, {179, "windows-1257"}, {180, "cp273"},
    {181, "cp280"}, {182, "ibm277"}, {183, "cp278"}, {184, "cp870"}, {185, ""}, {186, "cp297"},
    {187, ""}, {188, ""}, {189, "cp01141"}, {190, "cp865"}, {191, ""}, {192, ""}, {193, ""},
    {194, ""}, {195, ""}, {196, "koi8-r"}, {197, "cp775"}, {198, "cp01142"}, {199, "cp01143"},
    {200, "cp01144"}, {201, ""}, {202, ""}, {203, "sen_850200_c"}, {204, "ns_4551-1"},
    {205, "ns_4551-1"}, {206, "it"}, {207, "din_66003"}, {208, "cp01147"}, {210, ""}, {211, ""},
    {221, ""}, {222, ""}, {223, ""}, {224, ""}, {225, ""}, {226, ""}, {230, ""}, {231, ""},
    {232, ""}, {233, ""}, {235, ""}, {239, ""}, {241, ""}, {251, "dec-mcs"}, {261, "hp-roman8"},
    {262, ""}, {263, ""}, {264, ""}, {265, ""}, {266, ""}, {267, ""}, {277, ""}, {278, ""},
    {279, ""}, {301, "cp870"}, {312, "cp1026"}, {314, ""}, {315, "cp424"}, {316, "cp870"},
    {317, ""}, {319, ""}, {320, "cp420"}, {322, ""}, {323, ""}, {324, ""}, {325, ""}, {326, ""},
    {327, "cp423"}, {351, "macintosh"}, {352, "macintosh"}, {353, ""}, {354, ""}, {368, ""},
    {380, ""}, {381, ""}, {382, ""}, {383, ""}, {384, ""}, {385, "cp869"}, {386, "cp851"},
    {390, "cp863"}, {401, ""}, {500, ""}, {504, ""}, {505, ""}, {506, ""}, {507, ""}, {508, ""},
    {509, ""}, {511, ""}, {514, ""}, {554, ""}, {555, ""}, {556, ""}, {557, ""}, {558, ""},
    {559, ""}, {560, "windows-1256"}, {561, ""}, {563, ""}, {565, ""}, {566, ""}, {567, ""},
    {590, ""}, {829, "euc-jp"}, {830, "euc-jp"}, {831, "euc-jp"}, {832, "shift_jis"}, {833, ""},
    {834, "shift_jis"}, {835, ""}, {836, ""}, {837, "euc-jp"}, {838, "shift_jis"}, {840, "euc-kr"},
    {842, ""}, {845, ""}, {846, "euc-kr"}, {850, "gbk"}, {851, ""}, {852, "gbk"}, {853, ""},
    {854, "gb18030"}, {860, ""}, {861, ""}, {862, ""}, {863, ""}, {864, ""}, {865, "big5"},
    {866, ""}, {867, "big5"}, {868, "big5-hkscs"}, {871, "utf-8"}, {872, ""}, {873, "utf-8"},
    {992, "big5-hkscs"}, {2000, "utf-16be"},
};
// Encoding name -> Windows code page, in list order (the first pair of a name wins).
constexpr name_code_page k_name_code_pages[] = {
    {"ibm037", 37}, {"ibm437", 437}, {"ibm500", 500}, {"asmo-708", 708}, {"dos-720", 720},
    {"ibm737", 737}, {"ibm775", 775}, {"ibm850", 850}, {"ibm852", 852}, {"ibm855", 855},
    {"ibm857", 857}, {"ibm00858", 858}, {"ibm860", 860}, {"ibm861", 861}, {"dos-862", 862},
    {"ibm863", 863}, {"ibm864", 864}, {"ibm865", 865}, {"cp866", 866}, {"ibm869", 869},
    {"ibm870", 870}, {"windows-874", 874}, {"cp875", 875}, {"shift_jis", 932}, {"gb2312", 936},
    {"ks_c_5601-1987", 949}, {"big5", 950}, {"ibm1026", 1026}, {"ibm01047", 1047},
    {"ibm01140", 1140}, {"ibm01141", 1141}, {"ibm01142", 1142}, {"ibm01143", 1143},
    {"ibm01144", 1144}, {"ibm01145", 1145}, {"ibm01146", 1146}, {"ibm01147", 1147},
    {"ibm01148", 1148}, {"ibm01149", 1149}, {"utf-16", 1200}, {"unicodefffe", 1201},
    {"windows-1250", 1250}, {"windows-1251", 1251}, {"windows-1252", 1252}, {"windows-1253", 1253},
    {"windows-1254", 1254}, {"windows-1255", 1255}, {"windows-1256", 1256}, {"windows-1257", 1257},
    {"windows-1258", 1258}, {"johab", 1361}, {"macintosh", 10000}, {"x-mac-japanese", 10001},
    {"x-mac-chinesetrad", 10002}, {"x-mac-korean", 10003}, {"x-mac-arabic", 10004},
    {"x-mac-hebrew", 10005}, {"x-mac-greek", 10006}, {"x-mac-cyrillic", 10007},
    {"x-mac-chinesesimp", 10008}, {"x-mac-romanian", 10010}, {"x-mac-ukrainian", 10017},
    {"x-mac-thai", 10021}, {"x-mac-ce", 10029}, {"x-mac-icelandic", 10079},
    {"x-mac-turkish", 10081}, {"x-mac-croatian", 10082}, {"utf-32", 12000}, {"utf-32be", 12001},
    {"x-chinese-cns", 20000}, {"x-cp20001", 20001}, {"x-chinese-eten", 20002},
    {"x-cp20003", 20003}, {"x-cp20004", 20004}, {"x-cp20005", 20005}, {"x-ia5", 20105},
    {"x-ia5-german", 20106}, {"x-ia5-swedish", 20107}, {"x-ia5-norwegian", 20108},
    {"us-ascii", 20127}, {"x-cp20261", 20261}, {"x-cp20269", 20269}, {"ibm273", 20273},
    {"ibm277", 20277}, {"ibm278", 20278}, {"ibm280", 20280}, {"ibm284", 20284}, {"ibm285", 20285},
    {"ibm290", 20290}, {"ibm297", 20297}, {"ibm420", 20420}, {"ibm423", 20423}, {"ibm424", 20424},
    {"x-ebcdic-koreanextended", 20833}, {"ibm-thai", 20838}, {"koi8-r", 20866}, {"ibm871", 20871},
    {"ibm880", 20880}, {"ibm905", 20905}, {"ibm00924", 20924}, {"euc-jp", 20932},
    {"x-cp20936", 20936}, {"x-cp20949", 20949}, {"cp1025", 21025}, {"koi8-u", 21866},
    {"iso-8859-1", 28591}, {"iso-8859-2", 28592}, {"iso-8859-3", 28593}, {"iso-8859-4", 28594},
    {"iso-8859-5", 28595}, {"iso-8859-6", 28596}, {"iso-8859-7", 28597}, {"iso-8859-8", 28598},
    {"iso-8859-9", 28599}, {"iso-8859-13", 28603}, {"iso-8859-15", 28605}, {"x-europa", 29001},
    {"iso-8859-8-i", 38598}, {"iso-2022-jp", 50220}, {"csiso2022jp", 50221},
    {"iso-2022-jp", 50222}, {"iso-2022-kr", 50225}, {"x-cp50227", 50227}, {"euc-jp", 51932},
    {"euc-cn", 51936}, {"euc-kr", 51949}, {"hz-gb-2312", 52936}, {"gb18030", 54936},
    {"x-iscii-de", 57002}, {"x-iscii-be", 57003}, {"x-iscii-ta", 57004}, {"x-iscii-te", 57005},
    {"x-iscii-as", 57006}, {"x-iscii-or", 57007}, {"x-iscii-ka", 57008}, {"x-iscii-ma", 57009},
    {"x-iscii-gu", 57010}, {"x-iscii-pa", 57011}, {"utf-7", 65000}, {"utf-8", 65001},
};

// Ids whose table entry names a converter that lacks most of the set's characters.
// KO16MSWIN949 is Microsoft's extension of EUC-KR: the 8,822 extra Hangul syllables are only in
// CP949.
struct id_encoding {
    uint32_t id;
    const char* encoding;
};
constexpr id_encoding k_overrides[] = {
    {846, "CP949"},
};

// The iconv name of an encoding name that the name table lacks: "cp037" and "cp01140" are the IBM
// code pages 37 and 1140, "ibm1047" is IBM1047; the others are iconv's own names upper-cased
// (dec-mcs, gbk, tis-620, big5-hkscs, din_66003, ...).
std::string iconv_name_of(const std::string& name) {
    std::string digits;
    if ((name.rfind("cp", 0) == 0 || name.rfind("ibm", 0) == 0)) {
        size_t i = name[0] == 'c' ? 2 : 3;
        while (i < name.size() && name[i] == '0') ++i;
        digits = name.substr(i);
        bool all_digits = !digits.empty();
        for (char c : digits) all_digits = all_digits && std::isdigit(static_cast<unsigned char>(c));
        // iconv spells the IBM code pages with at least three digits (IBM037, IBM437, IBM1140).
        while (all_digits && digits.size() < 3) digits = "0" + digits;
        if (all_digits) return "IBM" + digits;
    }
    std::string out = name;
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

const std::map<uint32_t, std::string>& ora_charsets::id_table() {
    static const std::map<uint32_t, std::string> table = [] {
        std::map<uint32_t, std::string> m;
        for (const auto& e : k_id_names) m.emplace(e.id, e.name);
        return m;
    }();
    return table;
}

const std::map<std::string, int32_t>& ora_charsets::name_table() {
    static const std::map<std::string, int32_t> table = [] {
        std::map<std::string, int32_t> m;
        for (const auto& e : k_name_code_pages) m.emplace(e.name, e.code_page);
        return m;
    }();
    return table;
}

const char* ora_charsets::name_of(uint32_t id) {
    const auto& ids = id_table();
    auto it = ids.find(id);
    return it == ids.end() ? nullptr : it->second.c_str();
}

int32_t ora_charsets::code_page_of(uint32_t id) {
    const char* name = name_of(id);
    if (name == nullptr) return 0;
    const auto& names = name_table();
    auto it = names.find(name);
    return it == names.end() ? 0 : it->second;
}

int32_t ora_charsets::kind_of(uint32_t id) {
    if (id == ora_fmt::charset_al16utf16) return ora_fmt::kind_utf16be;
    if (id == ora_fmt::charset_utf8 || id == ora_fmt::charset_al32utf8) return ora_fmt::kind_utf8;
    return ora_fmt::kind_code_page;
}

std::string ora_charsets::encoding_of(uint32_t id) {
    for (const auto& o : k_overrides) {
        if (o.id == id) return o.encoding;
    }
    int32_t cp = code_page_of(id);
    if (cp != 0) {
        const char* enc = tk_text_decoder::encoding_of_code_page(cp);
        return enc == nullptr ? std::string() : std::string(enc);
    }
    const char* name = name_of(id);
    if (name == nullptr || *name == 0) return std::string();
    std::string candidate = iconv_name_of(name);
    // Only names this platform's iconv can open count.
    if (!tk_text_decoder::for_encoding(candidate)) return std::string();
    return candidate;
}
