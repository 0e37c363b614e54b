#include <random>

#include "RecorderPages.h"
#include "RecorderSim.h"

namespace recsim {

namespace {

// Titles: Shift-JIS trail bytes 0x5C (予 表 ソ 能), HTML specials, "+", "%", "\\", half-width
// kana, NEC special characters, and the list page's link marker typed by the user.
constexpr const char* kTitles[] = {
    "\x93\x56\x8B\x43\x97\x5C\x95\xF1",  // "天気予報"
    "\x96\xBC\x8B\xC8\x83\x41\x83\x8B\x83\x6F\x83\x80\x81\x40\x83\x5C\x83\x69\x83\x5E\x93\xC1\x8F"
    "\x57",  // "名曲アルバム　ソナタ特集"
    "\x89\x66\x89\xE6\x81\x75\x95\x5C\x82\xC6\x97\xA0\x81\x76",  // "映画「表と裏」"
    "\x94\x5C\x82\xC6\x8B\xB6\x8C\xBE\x82\xCC\x90\xA2\x8A\x45",  // "能と狂言の世界"
    "Tom & Jerry <\x93\xC1\x95\xCA\x95\xD2>",                    // "Tom & Jerry <特別編>"
    "\"\x96\xBC\x8D\xEC\" \x83\x68\x83\x89\x83\x7D \x8D\xC4\x95\xFA\x91\x97",  // ""名作" ドラマ
                                                                               // 再放送"
    "A+B=C 100% \x90\x94\x8A\x77\x8D\x75\x8D\xC0",  // "A+B=C 100% 数学講座"
    "\x89\xBF\x8A\x69\\1,000\x82\xCC\x97\xB7",      // "価格\1,000の旅"
    "Music Station",                                // "Music Station"
    "\x83\x6A\x83\x85\x81\x5B\x83\x58\x81\x95\x83\x58\x83\x7C\x81\x5B\x83\x63",  // "ニュース＆スポーツ"
    "\x83\x5C\x83\x74\x83\x67\x8A\x4A\x94\xAD\x8E\xD2\x82\xCC\x95\x5C\x8C\xBB\x97\xCD "
    "\x97\x5C\x8D\x90",                              // "ソフト開発者の表現力 予告"
    "  \x91\x4F\x8C\xE3\x82\xC9\x8B\xF3\x94\x92  ",  // "  前後に空白  "
    "Q&A: What's <new>?",                            // "Q&A: What's <new>?"
    "\x98\x41\x91\xB1\x83\x68\x83\x89\x83\x7D \x91\xE6"
    "5\x98\x62\x81\x75\x94\x5C\x97\xCD\x81\x76",  // "連続ドラマ 第5話「能力」"
    "b_proginfo.htm?9 \x82\xC6\x82\xA2\x82\xA4\x94\xD4\x91\x67\x96\xBC",  // "b_proginfo.htm?9
                                                                          // という番組名"
    "\xB1\xC6\xD2 \xC0\xB2\xD1",                                          // "ｱﾆﾒ ﾀｲﾑ"
    "\x93\xC1\x8F\x57\x87\x40\x81\x60\x87\x42",                           // "特集①～③"
    "\x90\x5B\x96\xE9\x89\x66\x89\xE6 #1 *\x8E\x9A\x96\x8B*",  // "深夜映画 #1 *字幕*"
    "HTML &lt;b&gt; &nbsp;\x8D\x75\x8D\xC0",  // "HTML &lt;b&gt; &nbsp;講座" (entities typed)
};
// Details: multi-line (CR LF), entities typed by the user, tabs, a long text.
constexpr const char* kDetails[] = {
    "",  // ""
    "\x8F\x6F\x89\x89\x81\x46\x8E\x52\x93\x63\x91\xBE\x98\x59\r\n\x8E\x69\x89\xEF\x81\x46"
    "\x97\xE9\x96\xD8\x89\xD4\x8E\x71",  // "出演：山田太郎⏎司会：鈴木花子"
    "Tom &amp; Jerry \x82\xC6\x8F\x91\x82\xAD\x82\xC6 &amp; "
    "\x82\xCC\x82\xDC\x82\xDC\r\n<b>\x91\xBE\x8E\x9A</b> \"\x88\xF8\x97\x70\" "
    "'\x92\x50'\r\n",  // "Tom &amp; Jerry と書くと &amp; のまま⏎<b>太字</b>"
    "1\x8D\x73\x96\xDA\r\n\r\n3\x8D\x73\x96\xDA\x81\x69\x8B\xF3\x8D\x73\x82\xCC\x8C\xE3\x81"
    "\x6A",                                          // "1行目⏎⏎3行目（空行の後）"
    "\r\n\x90\xE6\x93\xAA\x82\xAA\x8B\xF3\x8D\x73",  // "⏎先頭が空行"
    "\x97\x5C\x96\xF1\x81\x45\x95\x5C\x8E\xA6\x81\x45\x83\x5C\x81\x5B\x83\x58\x81\x45\x94"
    "\x5C\x97\xCD\r\n100% + 50% = 150%",  // "予約・表示・ソース・能力⏎100% + 50% = 150%"
    "&quot;\x82\xBB\x82\xCC\x82\xDC\x82\xDC&quot; \x82\xCC\x95\xB6\x8E\x9A",  // "&quot;そのまま&quot;
                                                                              // の文字"
    "\x83\x5E\x83\x75\t\x8B\xE6\x90\xD8\x82\xE8\t\x83\x65\x83\x4C\x83\x58\x83\x67",  // "タブ⇥区切り⇥テキスト"
    "\x92\xB7\x82\xA2\x90\xE0\x96\xBE\x82\xC5\x82\xB7\x81\x42\x92\xB7\x82\xA2\x90\xE0\x96"
    "\xBE\x82\xC5\x82\xB7\x81\x42\x92\xB7\x82\xA2\x90\xE0\x96\xBE\x82\xC5\x82\xB7\x81\x42"
    "\x92\xB7\x82\xA2\x90\xE0\x96\xBE\x82\xC5\x82\xB7\x81\x42\x92\xB7\x82\xA2\x90\xE0\x96"
    "\xBE\x82\xC5\x82\xB7\x81\x42\x92\xB7\x82\xA2\x90\xE0\x96\xBE\x82\xC5\x82\xB7\x81\x42"
    "\x92\xB7\x82\xA2\x90\xE0\x96\xBE\x82\xC5\x82\xB7\x81\x42\x92\xB7\x82\xA2\x90\xE0\x96"
    "\xBE\x82\xC5\x82\xB7\x81\x42\x92\xB7\x82\xA2\x90\xE0\x96\xBE\x82\xC5\x82\xB7\x81\x42"
    "\x92\xB7\x82\xA2\x90\xE0\x96\xBE\x82\xC5\x82\xB7\x81\x42\x92\xB7\x82\xA2\x90\xE0\x96"
    "\xBE\x82\xC5\x82\xB7\x81\x42\x92\xB7\x82\xA2\x90\xE0\x96\xBE\x82\xC5\x82\xB7\x81\x42\r"
    "\n\x93\xF1\x8D\x73\x96\xDA\x82\xE0\x92\xB7\x82\xA2\x90\xE0\x96\xBE\x82\xAA\x91\xB1\x82"
    "\xAB\x82\xDC\x82\xB7\x81\x42\x93\xF1\x8D\x73\x96\xDA\x82\xE0\x92\xB7\x82\xA2\x90\xE0"
    "\x96\xBE\x82\xAA\x91\xB1\x82\xAB\x82\xDC\x82\xB7\x81\x42\x93\xF1\x8D\x73\x96\xDA\x82"
    "\xE0\x92\xB7\x82\xA2\x90\xE0\x96\xBE\x82\xAA\x91\xB1\x82\xAB\x82\xDC\x82\xB7\x81\x42"
    "\x93\xF1\x8D\x73\x96\xDA\x82\xE0\x92\xB7\x82\xA2\x90\xE0\x96\xBE\x82\xAA\x91\xB1\x82"
    "\xAB\x82\xDC\x82\xB7\x81\x42\x93\xF1\x8D\x73\x96\xDA\x82\xE0\x92\xB7\x82\xA2\x90\xE0"
    "\x96\xBE\x82\xAA\x91\xB1\x82\xAB\x82\xDC\x82\xB7\x81\x42\x93\xF1\x8D\x73\x96\xDA\x82"
    "\xE0\x92\xB7\x82\xA2\x90\xE0\x96\xBE\x82\xAA\x91\xB1\x82\xAB\x82\xDC\x82\xB7\x81\x42"
    "\x93\xF1\x8D\x73\x96\xDA\x82\xE0\x92\xB7\x82\xA2\x90\xE0\x96\xBE\x82\xAA\x91\xB1\x82"
    "\xAB\x82\xDC\x82\xB7\x81\x42\x93\xF1\x8D\x73\x96\xDA\x82\xE0\x92\xB7\x82\xA2\x90\xE0"
    "\x96\xBE\x82\xAA\x91\xB1\x82\xAB\x82\xDC\x82\xB7\x81\x42\r\n\x8E\x4F\x8D\x73\x96\xDA</"
    "textarea>\x82\xC5\x8F\x49\x82\xED\x82\xE7\x82\xC8\x82\xA2\r\n",  // "長い説明です。長い説明です。長い説明です。長い説明です。長い説明です。長い説明で"
};

std::string TwoDigits(int v) {
    return (v < 10 ? "0" : "") + std::to_string(v);
}

}  // namespace

std::vector<Reservation> SampleReservations(int count, unsigned seed,
                                            const std::string& firstDate) {
    // Raw engine output only: the distributions of the standard library differ between
    // implementations, and a seed must give the same set everywhere.
    std::mt19937 rng(seed);
    auto pick = [&rng](const std::string& field, const std::string& first) {
        const OptionValues options = OptionsFor(field, first);
        return options[rng() % options.size()].first;
    };
    // Every reservation gets its own date value, so none overlaps another; when there are more
    // reservations than dates, each round through the dates keeps to its own three-hour block.
    const OptionValues dates = OptionsFor("date", firstDate);
    std::vector<size_t> order(dates.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    for (size_t i = order.size() - 1; i > 0; --i) std::swap(order[i], order[rng() % (i + 1)]);

    const int titleCount = int(std::size(kTitles));
    const int detailCount = int(std::size(kDetails));
    const int minutes[] = {0, 15, 30, 45, 5, 59};
    std::vector<Reservation> list;
    for (int i = 0; i < count; ++i) {
        Reservation r;
        r.exec = (i + int(seed % 3u)) % 3 != 2;  // both states in any three
        r.title = kTitles[(i + int(seed % unsigned(titleCount))) % titleCount];
        r.genre = pick("genre", firstDate);
        r.channel = pick("channel", firstDate);
        r.date = dates[order[size_t(i) % order.size()]].first;
        const int block = i / int(order.size());
        int startHour = int(rng() % 24);
        int duration = 15 + int(rng() % 12) * 15;  // up to three hours
        if (count > int(order.size())) {
            startHour = (block * 3) % 24;
            duration = 15 + int(rng() % 10) * 15;  // stays inside its block
        }
        const int startMinute = count > int(order.size()) ? 0 : minutes[rng() % std::size(minutes)];
        const int end = (startHour * 60 + startMinute + duration) % (24 * 60);
        r.start_hour = TwoDigits(startHour);
        r.start_minute = TwoDigits(startMinute);
        r.end_hour = TwoDigits(end / 60);
        r.end_minute = TwoDigits(end % 60);
        r.disc = pick("disc", firstDate);
        r.vrate = pick("vrate", firstDate);
        r.amode = pick("amode", firstDate);
        r.dvdr = pick("dvdr", firstDate);
        r.aspect = pick("aspect", firstDate);
        r.bVPerform = pick("bVPerform", firstDate);
        r.bAutoChapter = pick("bAutoChapter", firstDate);
        r.detail = kDetails[(i * 4 + int(seed % unsigned(detailCount))) % detailCount];
        list.push_back(std::move(r));
    }
    return list;
}

}  // namespace recsim
