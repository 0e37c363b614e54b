#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>

#include "Texts.h"

namespace {

std::string Hex(const std::string& bytes) {
    std::string out;
    char digits[4];
    for (unsigned char c : bytes) {
        std::snprintf(digits, sizeof digits, out.empty() ? "%02x" : " %02x", c);
        out += digits;
    }
    return out;
}

struct PinnedText {
    const char* name;
    const char* bytes;
    const char* hex;
};

// Every text the user sees, pinned by its Shift-JIS bytes.
const PinnedText kPinned[] = {
    {"ZAVO RD-X4→X4RX コンバータ", Texts::kAppTitle,
     "5a 41 56 4f 20 52 44 2d 58 34 81 a8 58 34 52 58 20 83 52 83 93 83 6f 81 5b 83 5e"},
    {"ZAVO RD-X4→X4EX コンバータ Ver.2", Texts::kMainCaption,
     "5a 41 56 4f 20 52 44 2d 58 34 81 a8 58 34 45 58 20 83 52 83 93 83 6f 81 5b 83 5e 20 56 65 72 "
     "2e 32"},
    {"RD-X4の設定を取込", Texts::kMainBtnCapture,
     "52 44 2d 58 34 82 cc 90 dd 92 e8 82 f0 8e e6 8d 9e"},
    {"取り込み内容を表示", Texts::kMainBtnShow,
     "8e e6 82 e8 8d 9e 82 dd 93 e0 97 65 82 f0 95 5c 8e a6"},
    {"RD-X4EXに設定を復元", Texts::kMainBtnRestore,
     "52 44 2d 58 34 45 58 82 c9 90 dd 92 e8 82 f0 95 9c 8c b3"},
    {"終了", Texts::kMainBtnExit, "8f 49 97 b9"},
    {"ＭＳ Ｐゴシック", Texts::kFontPGothic, "82 6c 82 72 20 82 6f 83 53 83 56 83 62 83 4e"},
    {"ＭＳ ゴシック", Texts::kFontGothic, "82 6c 82 72 20 83 53 83 56 83 62 83 4e"},
    {"この処理はX4EXにバージョンアップする前に取り込んだ各設定データを、", Texts::kRestoreConfirm1,
     "82 b1 82 cc 8f 88 97 9d 82 cd 58 34 45 58 82 c9 83 6f 81 5b 83 57 83 87 83 93 83 41 83 62 83 "
     "76 82 b7 82 e9 91 4f 82 c9 8e e6 82 e8 8d 9e 82 f1 82 be 8a 65 90 dd 92 e8 83 66 81 5b 83 5e "
     "82 f0 81 41"},
    {"X4EXに復元する処理です。X4EXにバージョンアップはお済みですか？", Texts::kRestoreConfirm2,
     "58 34 45 58 82 c9 95 9c 8c b3 82 b7 82 e9 8f 88 97 9d 82 c5 82 b7 81 42 58 34 45 58 82 c9 83 "
     "6f 81 5b 83 57 83 87 83 93 83 41 83 62 83 76 82 cd 82 a8 8d cf 82 dd 82 c5 82 b7 82 a9 81 "
     "48"},
    {"またX4EX本体でチャンネル設定はお済みですか？", Texts::kRestoreConfirm3,
     "82 dc 82 bd 58 34 45 58 96 7b 91 cc 82 c5 83 60 83 83 83 93 83 6c 83 8b 90 dd 92 e8 82 cd 82 "
     "a8 8d cf 82 dd 82 c5 82 b7 82 a9 81 48"},
    {"以上の処理済んでいないと復元処理が正しく実行されません。", Texts::kRestoreConfirm4,
     "88 c8 8f e3 82 cc 8f 88 97 9d 8d cf 82 f1 82 c5 82 a2 82 c8 82 a2 82 c6 95 9c 8c b3 8f 88 97 "
     "9d 82 aa 90 b3 82 b5 82 ad 8e c0 8d 73 82 b3 82 ea 82 dc 82 b9 82 f1 81 42"},
    {" に書き込めません", Texts::kCannotWriteSuffix,
     "20 82 c9 8f 91 82 ab 8d 9e 82 df 82 dc 82 b9 82 f1"},
    {"RD-X4の取込内容の表示", Texts::kDispCaption,
     "52 44 2d 58 34 82 cc 8e e6 8d 9e 93 e0 97 65 82 cc 95 5c 8e a6"},
    {"録画予約一覧", Texts::kDispBtnList, "98 5e 89 e6 97 5c 96 f1 88 ea 97 97"},
    {"チャンネル設定", Texts::kDispBtnChannel, "83 60 83 83 83 93 83 6c 83 8b 90 dd 92 e8"},
    {"個別録画予約", Texts::kDispBtnReservation, "8c c2 95 ca 98 5e 89 e6 97 5c 96 f1"},
    {"本体設定", Texts::kDispBtnSetup, "96 7b 91 cc 90 dd 92 e8"},
    {"閉じる", Texts::kDispBtnClose, "95 c2 82 b6 82 e9"},
    {"番目の録画予約はありません。", Texts::kNoSuchReservation,
     "94 d4 96 da 82 cc 98 5e 89 e6 97 5c 96 f1 82 cd 82 a0 82 e8 82 dc 82 b9 82 f1 81 42"},
    {"RD-X4の設定取込", Texts::kGetCaptionCapture, "52 44 2d 58 34 82 cc 90 dd 92 e8 8e e6 8d 9e"},
    {"RD-X4EXに設定を復元", Texts::kGetCaptionRestore,
     "52 44 2d 58 34 45 58 82 c9 90 dd 92 e8 82 f0 95 9c 8c b3"},
    {"取込開始", Texts::kGetBtnCapture, "8e e6 8d 9e 8a 4a 8e 6e"},
    {"復元開始", Texts::kGetBtnRestore, "95 9c 8c b3 8a 4a 8e 6e"},
    {"閉じる", Texts::kGetBtnClose, "95 c2 82 b6 82 e9"},
    {"RDの本体名またはIPアドレス", Texts::kLabel1,
     "52 44 82 cc 96 7b 91 cc 96 bc 82 dc 82 bd 82 cd 49 50 83 41 83 68 83 8c 83 58"},
    {"例：(rd-x4)(192.168.1.2)", Texts::kLabel2,
     "97 e1 81 46 28 72 64 2d 78 34 29 28 31 39 32 2e 31 36 38 2e 31 2e 32 29"},
    {"本体ユーザー名", Texts::kLabel3, "96 7b 91 cc 83 86 81 5b 83 55 81 5b 96 bc"},
    {"プロキシサーバアドレス", Texts::kLabel4,
     "83 76 83 8d 83 4c 83 56 83 54 81 5b 83 6f 83 41 83 68 83 8c 83 58"},
    {"本体パスワード", Texts::kLabel5, "96 7b 91 cc 83 70 83 58 83 8f 81 5b 83 68"},
    {"ポート", Texts::kLabel6, "83 7c 81 5b 83 67"},
    {"RDからの取得に失敗しました", Texts::kFailGet,
     "52 44 82 a9 82 e7 82 cc 8e e6 93 be 82 c9 8e b8 94 73 82 b5 82 dc 82 b5 82 bd"},
    {"RDへの送信に失敗しました", Texts::kFailPost,
     "52 44 82 d6 82 cc 91 97 90 4d 82 c9 8e b8 94 73 82 b5 82 dc 82 b5 82 bd"},
    {" 取得中…", Texts::kStatusFetching, "20 8e e6 93 be 92 86 81 63"},
    {" 解析中…", Texts::kStatusParsing, "20 89 f0 90 cd 92 86 81 63"},
    {" 送信中…", Texts::kStatusSending, "20 91 97 90 4d 92 86 81 63"},
    {"RD-X4との通信に失敗しました。", Texts::kCaptureFailed,
     "52 44 2d 58 34 82 c6 82 cc 92 ca 90 4d 82 c9 8e b8 94 73 82 b5 82 dc 82 b5 82 bd 81 42"},
    {"RD-X4の設定を取り込みました。", Texts::kCaptureDone,
     "52 44 2d 58 34 82 cc 90 dd 92 e8 82 f0 8e e6 82 e8 8d 9e 82 dd 82 dc 82 b5 82 bd 81 42"},
    {"RD-X4EXとの通信に失敗しました。", Texts::kRestoreCommFailed,
     "52 44 2d 58 34 45 58 82 c6 82 cc 92 ca 90 4d 82 c9 8e b8 94 73 82 b5 82 dc 82 b5 82 bd 81 "
     "42"},
    {"これ以上予約できません(最大32件)。", Texts::kRestoreFull,
     "82 b1 82 ea 88 c8 8f e3 97 5c 96 f1 82 c5 82 ab 82 dc 82 b9 82 f1 28 8d c5 91 e5 33 32 8c 8f "
     "29 81 42"},
    {"RD-X4EXへの予約に失敗した…かも。", Texts::kRestoreEntryFailed,
     "52 44 2d 58 34 45 58 82 d6 82 cc 97 5c 96 f1 82 c9 8e b8 94 73 82 b5 82 bd 81 63 82 a9 82 e0 "
     "81 42"},
    {"LF CR", Texts::kLfCr, "0a 0d"},
    {"番目の予約：", Texts::kReportSeparator, "94 d4 96 da 82 cc 97 5c 96 f1 81 46"},
    // The 5C second byte of 予 is why the text search steps over double-byte characters.
    {"新規予約", Texts::kNewReservationMark, "90 56 8b 4b 97 5c 96 f1"},
};

TEST(Texts, EveryTextHasItsShiftJisBytes) {
    for (const PinnedText& text : kPinned) EXPECT_EQ(Hex(text.bytes), text.hex) << text.name;
}

TEST(Texts, ComposedTextsJoinTheirPieces) {
    const std::string two = "\n\r\n\r";
    EXPECT_EQ(Texts::RestoreConfirmText(),
              std::string(Texts::kRestoreConfirm1) + two + Texts::kRestoreConfirm2 + two +
                  Texts::kRestoreConfirm3 + two + Texts::kRestoreConfirm4 + "\n\r");
    // "/opt/zavo/zavoconv.INI に書き込めません"
    EXPECT_EQ(
        Texts::CannotWriteMessage("/opt/zavo/zavoconv.INI"),
        "/opt/zavo/zavoconv.INI \x82\xc9\x8f\x91\x82\xab\x8d\x9e\x82\xdf\x82\xdc\x82\xb9\x82\xf1");
    // "8番目の録画予約はありません。"
    EXPECT_EQ(Texts::NoSuchReservationMessage(8),
              "8\x94\xd4\x96\xda\x82\xcc\x98\x5e\x89\xe6\x97\x5c\x96\xf1\x82\xcd\x82\xa0\x82\xe8"
              "\x82\xdc\x82\xb9\x82\xf1\x81\x42");
    EXPECT_EQ(Texts::NoSuchReservationMessage(32).substr(0, 3), "32\x94");
}

TEST(Texts, ReservationPageFileHasTwoDigits) {
    const std::pair<int, const char*> cases[] = {{0, "ZAVOCV00.HTM"},  {9, "ZAVOCV09.HTM"},
                                                 {10, "ZAVOCV10.HTM"}, {31, "ZAVOCV31.HTM"},
                                                 {98, "ZAVOCV98.HTM"}, {100, "ZAVOCV100.HTM"}};
    for (const auto& [number, name] : cases) EXPECT_EQ(Texts::ReservationPageFile(number), name);
}

// Commands without a text of their own give none.
TEST(Texts, HttpFailureTextByCommandCode) {
    const std::map<int, std::string> texts = {{0, Texts::kFailGet},     {1, "HTTP OPTIONS Failed"},
                                              {2, Texts::kFailGet},     {3, Texts::kFailPost},
                                              {4, "HTTP PUT Failed"},   {8, "HTTP Delete Failed"},
                                              {11, "HTTP TRACE Failed"}};
    for (int cmd = 0; cmd < 256; ++cmd)
        EXPECT_EQ(Texts::HttpFailureText(static_cast<uint8_t>(cmd)),
                  texts.count(cmd) ? texts.at(cmd) : "")
            << cmd;
    EXPECT_STREQ(Texts::kFailOptions, "HTTP OPTIONS Failed");
    EXPECT_STREQ(Texts::kFailPut, "HTTP PUT Failed");
    EXPECT_STREQ(Texts::kFailDelete, "HTTP Delete Failed");
    EXPECT_STREQ(Texts::kFailTrace, "HTTP TRACE Failed");
}

TEST(Texts, FileNamesAndDefaults) {
    EXPECT_STREQ(Texts::kDefaultHost, "rd-x4");
    EXPECT_STREQ(Texts::kListPageFile, "ZAVOCVRV.HTM");
    EXPECT_STREQ(Texts::kSetupPageFile, "ZAVOCVST.HTM");
    EXPECT_STREQ(Texts::kChannelPageFile, "ZAVOCVCH.HTM");
    EXPECT_STREQ(Texts::kPostDataFile, "Reserv.txt");
    EXPECT_STREQ(Texts::kHeaderFile, "Head.txt");
    EXPECT_STREQ(Texts::kIniExtension, ".INI");
    EXPECT_STREQ(Texts::kIniSection, "RD");
    const char* keys[] = {Texts::kIniKeyHost, Texts::kIniKeyUser, Texts::kIniKeyPassword,
                          Texts::kIniKeyProxy, Texts::kIniKeyProxyPort};
    const char* expected[] = {"RDIP", "RDUSER", "RDPASS", "RDPROXY", "RDPORT"};
    for (int i = 0; i < 5; ++i) EXPECT_STREQ(keys[i], expected[i]);
}

}  // namespace
