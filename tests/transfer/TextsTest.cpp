#include <gtest/gtest.h>

#include <cstdio>
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
    // ZAVO RD-X4→X4RX コンバータ
    {"kAppTitle", Texts::kAppTitle,
     "5a 41 56 4f 20 52 44 2d 58 34 81 a8 58 34 52 58 20 83 52 83 93 83 6f 81 5b 83 5e"},
    // ZAVO RD-X4→X4EX コンバータ Ver.2
    {"kMainCaption", Texts::kMainCaption,
     "5a 41 56 4f 20 52 44 2d 58 34 81 a8 58 34 45 58 20 83 52 83 93 83 6f 81 5b 83 5e 20 56 65 72 "
     "2e 32"},
    // RD-X4の設定を取込
    {"kMainBtnCapture", Texts::kMainBtnCapture,
     "52 44 2d 58 34 82 cc 90 dd 92 e8 82 f0 8e e6 8d 9e"},
    // 取り込み内容を表示
    {"kMainBtnShow", Texts::kMainBtnShow, "8e e6 82 e8 8d 9e 82 dd 93 e0 97 65 82 f0 95 5c 8e a6"},
    // RD-X4EXに設定を復元
    {"kMainBtnRestore", Texts::kMainBtnRestore,
     "52 44 2d 58 34 45 58 82 c9 90 dd 92 e8 82 f0 95 9c 8c b3"},
    // 終了
    {"kMainBtnExit", Texts::kMainBtnExit, "8f 49 97 b9"},
    // ＭＳ Ｐゴシック
    {"kFontPGothic", Texts::kFontPGothic, "82 6c 82 72 20 82 6f 83 53 83 56 83 62 83 4e"},
    // ＭＳ ゴシック
    {"kFontGothic", Texts::kFontGothic, "82 6c 82 72 20 83 53 83 56 83 62 83 4e"},
    // この処理はX4EXにバージョンアップする前に取り込んだ各設定データを、
    {"kRestoreConfirm1", Texts::kRestoreConfirm1,
     "82 b1 82 cc 8f 88 97 9d 82 cd 58 34 45 58 82 c9 83 6f 81 5b 83 57 83 87 83 93 83 41 83 62 83 "
     "76 82 b7 82 e9 91 4f 82 c9 8e e6 82 e8 8d 9e 82 f1 82 be 8a 65 90 dd 92 e8 83 66 81 5b 83 5e "
     "82 f0 81 41"},
    // X4EXに復元する処理です。X4EXにバージョンアップはお済みですか？
    {"kRestoreConfirm2", Texts::kRestoreConfirm2,
     "58 34 45 58 82 c9 95 9c 8c b3 82 b7 82 e9 8f 88 97 9d 82 c5 82 b7 81 42 58 34 45 58 82 c9 83 "
     "6f 81 5b 83 57 83 87 83 93 83 41 83 62 83 76 82 cd 82 a8 8d cf 82 dd 82 c5 82 b7 82 a9 81 "
     "48"},
    // またX4EX本体でチャンネル設定はお済みですか？
    {"kRestoreConfirm3", Texts::kRestoreConfirm3,
     "82 dc 82 bd 58 34 45 58 96 7b 91 cc 82 c5 83 60 83 83 83 93 83 6c 83 8b 90 dd 92 e8 82 cd 82 "
     "a8 8d cf 82 dd 82 c5 82 b7 82 a9 81 48"},
    // 以上の処理済んでいないと復元処理が正しく実行されません。
    {"kRestoreConfirm4", Texts::kRestoreConfirm4,
     "88 c8 8f e3 82 cc 8f 88 97 9d 8d cf 82 f1 82 c5 82 a2 82 c8 82 a2 82 c6 95 9c 8c b3 8f 88 97 "
     "9d 82 aa 90 b3 82 b5 82 ad 8e c0 8d 73 82 b3 82 ea 82 dc 82 b9 82 f1 81 42"},
    //  に書き込めません
    {"kCannotWriteSuffix", Texts::kCannotWriteSuffix,
     "20 82 c9 8f 91 82 ab 8d 9e 82 df 82 dc 82 b9 82 f1"},
    // RD-X4の取込内容の表示
    {"kDispCaption", Texts::kDispCaption,
     "52 44 2d 58 34 82 cc 8e e6 8d 9e 93 e0 97 65 82 cc 95 5c 8e a6"},
    // 録画予約一覧
    {"kDispBtnList", Texts::kDispBtnList, "98 5e 89 e6 97 5c 96 f1 88 ea 97 97"},
    // チャンネル設定
    {"kDispBtnChannel", Texts::kDispBtnChannel, "83 60 83 83 83 93 83 6c 83 8b 90 dd 92 e8"},
    // 個別録画予約
    {"kDispBtnReservation", Texts::kDispBtnReservation, "8c c2 95 ca 98 5e 89 e6 97 5c 96 f1"},
    // 本体設定
    {"kDispBtnSetup", Texts::kDispBtnSetup, "96 7b 91 cc 90 dd 92 e8"},
    // 閉じる
    {"kDispBtnClose", Texts::kDispBtnClose, "95 c2 82 b6 82 e9"},
    // 番目の録画予約はありません。
    {"kNoSuchReservation", Texts::kNoSuchReservation,
     "94 d4 96 da 82 cc 98 5e 89 e6 97 5c 96 f1 82 cd 82 a0 82 e8 82 dc 82 b9 82 f1 81 42"},
    // RD-X4の設定取込
    {"kGetCaptionCapture", Texts::kGetCaptionCapture,
     "52 44 2d 58 34 82 cc 90 dd 92 e8 8e e6 8d 9e"},
    // RD-X4EXに設定を復元
    {"kGetCaptionRestore", Texts::kGetCaptionRestore,
     "52 44 2d 58 34 45 58 82 c9 90 dd 92 e8 82 f0 95 9c 8c b3"},
    // 取込開始
    {"kGetBtnCapture", Texts::kGetBtnCapture, "8e e6 8d 9e 8a 4a 8e 6e"},
    // 復元開始
    {"kGetBtnRestore", Texts::kGetBtnRestore, "95 9c 8c b3 8a 4a 8e 6e"},
    // 閉じる
    {"kGetBtnClose", Texts::kGetBtnClose, "95 c2 82 b6 82 e9"},
    // RDの本体名またはIPアドレス
    {"kLabel1", Texts::kLabel1,
     "52 44 82 cc 96 7b 91 cc 96 bc 82 dc 82 bd 82 cd 49 50 83 41 83 68 83 8c 83 58"},
    // 例：(rd-x4)(192.168.1.2)
    {"kLabel2", Texts::kLabel2,
     "97 e1 81 46 28 72 64 2d 78 34 29 28 31 39 32 2e 31 36 38 2e 31 2e 32 29"},
    // 本体ユーザー名
    {"kLabel3", Texts::kLabel3, "96 7b 91 cc 83 86 81 5b 83 55 81 5b 96 bc"},
    // プロキシサーバアドレス
    {"kLabel4", Texts::kLabel4,
     "83 76 83 8d 83 4c 83 56 83 54 81 5b 83 6f 83 41 83 68 83 8c 83 58"},
    // 本体パスワード
    {"kLabel5", Texts::kLabel5, "96 7b 91 cc 83 70 83 58 83 8f 81 5b 83 68"},
    // ポート
    {"kLabel6", Texts::kLabel6, "83 7c 81 5b 83 67"},
    // RDからの取得に失敗しました
    {"kFailGet", Texts::kFailGet,
     "52 44 82 a9 82 e7 82 cc 8e e6 93 be 82 c9 8e b8 94 73 82 b5 82 dc 82 b5 82 bd"},
    // HTTP OPTIONS Failed
    {"kFailOptions", Texts::kFailOptions,
     "48 54 54 50 20 4f 50 54 49 4f 4e 53 20 46 61 69 6c 65 64"},
    // RDへの送信に失敗しました
    {"kFailPost", Texts::kFailPost,
     "52 44 82 d6 82 cc 91 97 90 4d 82 c9 8e b8 94 73 82 b5 82 dc 82 b5 82 bd"},
    // HTTP PUT Failed
    {"kFailPut", Texts::kFailPut, "48 54 54 50 20 50 55 54 20 46 61 69 6c 65 64"},
    // HTTP Delete Failed
    {"kFailDelete", Texts::kFailDelete, "48 54 54 50 20 44 65 6c 65 74 65 20 46 61 69 6c 65 64"},
    // HTTP TRACE Failed
    {"kFailTrace", Texts::kFailTrace, "48 54 54 50 20 54 52 41 43 45 20 46 61 69 6c 65 64"},
    //  取得中…
    {"kStatusFetching", Texts::kStatusFetching, "20 8e e6 93 be 92 86 81 63"},
    //  解析中…
    {"kStatusParsing", Texts::kStatusParsing, "20 89 f0 90 cd 92 86 81 63"},
    //  送信中…
    {"kStatusSending", Texts::kStatusSending, "20 91 97 90 4d 92 86 81 63"},
    // RD-X4との通信に失敗しました。
    {"kCaptureFailed", Texts::kCaptureFailed,
     "52 44 2d 58 34 82 c6 82 cc 92 ca 90 4d 82 c9 8e b8 94 73 82 b5 82 dc 82 b5 82 bd 81 42"},
    // RD-X4の設定を取り込みました。
    {"kCaptureDone", Texts::kCaptureDone,
     "52 44 2d 58 34 82 cc 90 dd 92 e8 82 f0 8e e6 82 e8 8d 9e 82 dd 82 dc 82 b5 82 bd 81 42"},
    // RD-X4EXとの通信に失敗しました。
    {"kRestoreCommFailed", Texts::kRestoreCommFailed,
     "52 44 2d 58 34 45 58 82 c6 82 cc 92 ca 90 4d 82 c9 8e b8 94 73 82 b5 82 dc 82 b5 82 bd 81 "
     "42"},
    // これ以上予約できません(最大32件)。
    {"kRestoreFull", Texts::kRestoreFull,
     "82 b1 82 ea 88 c8 8f e3 97 5c 96 f1 82 c5 82 ab 82 dc 82 b9 82 f1 28 8d c5 91 e5 33 32 8c 8f "
     "29 81 42"},
    // RD-X4EXへの予約に失敗した…かも。
    {"kRestoreEntryFailed", Texts::kRestoreEntryFailed,
     "52 44 2d 58 34 45 58 82 d6 82 cc 97 5c 96 f1 82 c9 8e b8 94 73 82 b5 82 bd 81 63 82 a9 82 e0 "
     "81 42"},
    // 番目の予約：
    {"kReportSeparator", Texts::kReportSeparator, "94 d4 96 da 82 cc 97 5c 96 f1 81 46"},
    // 新規予約
    {"kNewReservationMark", Texts::kNewReservationMark, "90 56 8b 4b 97 5c 96 f1"},
};

TEST(Texts, EveryTextHasItsShiftJisBytes) {
    for (const PinnedText& text : kPinned) {
        EXPECT_EQ(Hex(text.bytes), text.hex) << text.name;
    }
}

TEST(Texts, NewReservationMarkHasBackslashSecondByte) {
    EXPECT_EQ(std::string(Texts::kNewReservationMark), "\x90\x56\x8B\x4B\x97\x5C\x96\xF1");
}

TEST(Texts, LineBreakIsLfThenCr) {
    EXPECT_EQ(std::string(Texts::kLfCr), "\n\r");
}

TEST(Texts, RestoreConfirmationJoinsPiecesWithLfCr) {
    const std::string two = "\n\r\n\r";
    EXPECT_EQ(Texts::RestoreConfirmText(),
              std::string(Texts::kRestoreConfirm1) + two + Texts::kRestoreConfirm2 + two +
                  Texts::kRestoreConfirm3 + two + Texts::kRestoreConfirm4 + "\n\r");
}

TEST(Texts, CannotWriteMessageNamesThePath) {
    // "/opt/zavo/zavoconv.INI に書き込めません"
    EXPECT_EQ(
        Texts::CannotWriteMessage("/opt/zavo/zavoconv.INI"),
        "/opt/zavo/zavoconv.INI \x82\xc9\x8f\x91\x82\xab\x8d\x9e\x82\xdf\x82\xdc\x82\xb9\x82\xf1");
}

TEST(Texts, NoSuchReservationMessageStartsWithTheNumber) {
    // "8番目の録画予約はありません。"
    EXPECT_EQ(Texts::NoSuchReservationMessage(8),
              "8\x94\xd4\x96\xda\x82\xcc\x98\x5e\x89\xe6\x97\x5c\x96\xf1\x82\xcd\x82\xa0\x82\xe8"
              "\x82\xdc\x82\xb9\x82\xf1\x81\x42");
    EXPECT_EQ(Texts::NoSuchReservationMessage(32).substr(0, 3), "32\x94");
}

TEST(Texts, ReservationPageFileHasTwoDigits) {
    const struct {
        int number;
        const char* name;
    } cases[] = {{0, "ZAVOCV00.HTM"},  {9, "ZAVOCV09.HTM"},  {10, "ZAVOCV10.HTM"},
                 {31, "ZAVOCV31.HTM"}, {98, "ZAVOCV98.HTM"}, {100, "ZAVOCV100.HTM"}};
    for (const auto& c : cases) EXPECT_EQ(Texts::ReservationPageFile(c.number), c.name) << c.number;
}

TEST(Texts, HttpFailureTextByCommandCode) {
    const struct {
        uint8_t cmd;
        std::string text;
    } cases[] = {
        {0, Texts::kFailGet},
        {1, "HTTP OPTIONS Failed"},
        {2, Texts::kFailGet},
        {3, Texts::kFailPost},
        {4, "HTTP PUT Failed"},
        {5, ""},
        {6, ""},
        {7, ""},
        {8, "HTTP Delete Failed"},
        {9, ""},
        {10, ""},
        {11, "HTTP TRACE Failed"},
        {12, ""},
        {255, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(Texts::HttpFailureText(c.cmd), c.text) << int(c.cmd);
    // "RDからの取得に失敗しました", "RDへの送信に失敗しました"
    EXPECT_EQ(Hex(Texts::HttpFailureText(0)),
              "52 44 82 a9 82 e7 82 cc 8e e6 93 be 82 c9 8e b8 94 73 82 b5 82 dc 82 b5 82 bd");
    EXPECT_EQ(Hex(Texts::HttpFailureText(3)),
              "52 44 82 d6 82 cc 91 97 90 4d 82 c9 8e b8 94 73 82 b5 82 dc 82 b5 82 bd");
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
