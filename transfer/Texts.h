// The program's own texts, as the Shift-JIS bytes it shows, sends and stores. Each
// constant carries its readable form in the comment beside it.
#pragma once

#include <cstdint>
#include <string>

namespace Texts {

// Line break inside message texts: LF then CR, in this order.
inline constexpr char kLfCr[] = "\n\r";

// Start-up and the main window.
// ZAVO RD-X4→X4RX コンバータ -- application title (it reads X4RX, unlike the caption)
inline constexpr char kAppTitle[] =
    "ZAVO RD-X4\x81\xa8X4RX \x83\x52\x83\x93\x83\x6f\x81\x5b\x83\x5e";
// ZAVO RD-X4→X4EX コンバータ Ver.2
inline constexpr char kMainCaption[] =
    "ZAVO RD-X4\x81\xa8X4EX \x83\x52\x83\x93\x83\x6f\x81\x5b\x83\x5e Ver.2";
// RD-X4の設定を取込 -- BitBtn1
inline constexpr char kMainBtnCapture[] = "RD-X4\x82\xcc\x90\xdd\x92\xe8\x82\xf0\x8e\xe6\x8d\x9e";
// 取り込み内容を表示 -- BitBtn2
inline constexpr char kMainBtnShow[] =
    "\x8e\xe6\x82\xe8\x8d\x9e\x82\xdd\x93\xe0\x97\x65\x82\xf0\x95\x5c\x8e\xa6";
// RD-X4EXに設定を復元 -- BitBtn3
inline constexpr char kMainBtnRestore[] = "RD-X4EX\x82\xc9\x90\xdd\x92\xe8\x82\xf0\x95\x9c\x8c\xb3";
// 終了 -- BitBtn4
inline constexpr char kMainBtnExit[] = "\x8f\x49\x97\xb9";
// ＭＳ Ｐゴシック -- font of the windows
inline constexpr char kFontPGothic[] = "\x82\x6c\x82\x72 \x82\x6f\x83\x53\x83\x56\x83\x62\x83\x4e";
// ＭＳ ゴシック -- font of the transfer dialog's labels and edit fields
inline constexpr char kFontGothic[] = "\x82\x6c\x82\x72 \x83\x53\x83\x56\x83\x62\x83\x4e";

// The restore confirmation: the pieces in order, each followed by kLfCr twice, the last once.
// この処理はX4EXにバージョンアップする前に取り込んだ各設定データを、
inline constexpr char kRestoreConfirm1[] =
    "\x82\xb1\x82\xcc\x8f\x88\x97\x9d\x82\xcdX4EX\x82\xc9\x83\x6f\x81\x5b\x83\x57\x83\x87\x83\x93"
    "\x83\x41\x83\x62\x83\x76\x82\xb7\x82\xe9\x91\x4f\x82\xc9\x8e\xe6\x82\xe8\x8d\x9e\x82\xf1\x82"
    "\xbe\x8a\x65\x90\xdd\x92\xe8\x83\x66\x81\x5b\x83\x5e\x82\xf0\x81\x41";
// X4EXに復元する処理です。X4EXにバージョンアップはお済みですか？
inline constexpr char kRestoreConfirm2[] =
    "X4EX\x82\xc9\x95\x9c\x8c\xb3\x82\xb7\x82\xe9\x8f\x88\x97\x9d\x82\xc5\x82\xb7\x81\x42X4EX\x82"
    "\xc9\x83\x6f\x81\x5b\x83\x57\x83\x87\x83\x93\x83\x41\x83\x62\x83\x76\x82\xcd\x82\xa8\x8d\xcf"
    "\x82\xdd\x82\xc5\x82\xb7\x82\xa9\x81\x48";
// またX4EX本体でチャンネル設定はお済みですか？
inline constexpr char kRestoreConfirm3[] =
    "\x82\xdc\x82\xbdX4EX\x96\x7b\x91\xcc\x82\xc5\x83\x60\x83\x83\x83\x93\x83\x6c\x83\x8b\x90\xdd"
    "\x92\xe8\x82\xcd\x82\xa8\x8d\xcf\x82\xdd\x82\xc5\x82\xb7\x82\xa9\x81\x48";
// 以上の処理済んでいないと復元処理が正しく実行されません。
inline constexpr char kRestoreConfirm4[] =
    "\x88\xc8\x8f\xe3\x82\xcc\x8f\x88\x97\x9d\x8d\xcf\x82\xf1\x82\xc5\x82\xa2\x82\xc8\x82\xa2\x82"
    "\xc6\x95\x9c\x8c\xb3\x8f\x88\x97\x9d\x82\xaa\x90\xb3\x82\xb5\x82\xad\x8e\xc0\x8d\x73\x82\xb3"
    "\x82\xea\x82\xdc\x82\xb9\x82\xf1\x81\x42";

// The settings file.
//  に書き込めません -- follows the path: "%s に書き込めません"
inline constexpr char kCannotWriteSuffix[] =
    " \x82\xc9\x8f\x91\x82\xab\x8d\x9e\x82\xdf\x82\xdc\x82\xb9\x82\xf1";

// The viewer.
// RD-X4の取込内容の表示
inline constexpr char kDispCaption[] =
    "RD-X4\x82\xcc\x8e\xe6\x8d\x9e\x93\xe0\x97\x65\x82\xcc\x95\x5c\x8e\xa6";
// 録画予約一覧 -- BitBtn1
inline constexpr char kDispBtnList[] = "\x98\x5e\x89\xe6\x97\x5c\x96\xf1\x88\xea\x97\x97";
// チャンネル設定 -- BitBtn2
inline constexpr char kDispBtnChannel[] =
    "\x83\x60\x83\x83\x83\x93\x83\x6c\x83\x8b\x90\xdd\x92\xe8";
// 個別録画予約 -- BitBtn3
inline constexpr char kDispBtnReservation[] = "\x8c\xc2\x95\xca\x98\x5e\x89\xe6\x97\x5c\x96\xf1";
// 本体設定 -- BitBtn4
inline constexpr char kDispBtnSetup[] = "\x96\x7b\x91\xcc\x90\xdd\x92\xe8";
// 閉じる -- BitBtn5
inline constexpr char kDispBtnClose[] = "\x95\xc2\x82\xb6\x82\xe9";
// 番目の録画予約はありません。 -- follows the number N
inline constexpr char kNoSuchReservation[] =
    "\x94\xd4\x96\xda\x82\xcc\x98\x5e\x89\xe6\x97\x5c\x96\xf1\x82\xcd\x82\xa0\x82\xe8\x82\xdc\x82"
    "\xb9\x82\xf1\x81\x42";

// The transfer dialog.
// RD-X4の設定取込 -- caption in capture mode (also the stored caption)
inline constexpr char kGetCaptionCapture[] = "RD-X4\x82\xcc\x90\xdd\x92\xe8\x8e\xe6\x8d\x9e";
// RD-X4EXに設定を復元 -- caption in restore mode
inline constexpr char kGetCaptionRestore[] =
    "RD-X4EX\x82\xc9\x90\xdd\x92\xe8\x82\xf0\x95\x9c\x8c\xb3";
// 取込開始 -- BitBtn1 in capture mode; this caption alone selects the capture
inline constexpr char kGetBtnCapture[] = "\x8e\xe6\x8d\x9e\x8a\x4a\x8e\x6e";
// 復元開始 -- BitBtn1 in restore mode
inline constexpr char kGetBtnRestore[] = "\x95\x9c\x8c\xb3\x8a\x4a\x8e\x6e";
// 閉じる -- BitBtn4
inline constexpr char kGetBtnClose[] = "\x95\xc2\x82\xb6\x82\xe9";
// RDの本体名またはIPアドレス
inline constexpr char kLabel1[] =
    "RD\x82\xcc\x96\x7b\x91\xcc\x96\xbc\x82\xdc\x82\xbd\x82\xcdIP\x83\x41\x83\x68\x83\x8c\x83\x58";
// 例：(rd-x4)(192.168.1.2) -- the factory host name and a private address; half-width
// brackets so that the text fits its 144-pixel label
inline constexpr char kLabel2[] = "\x97\xe1\x81\x46(rd-x4)(192.168.1.2)";
// 本体ユーザー名
inline constexpr char kLabel3[] = "\x96\x7b\x91\xcc\x83\x86\x81\x5b\x83\x55\x81\x5b\x96\xbc";
// プロキシサーバアドレス
inline constexpr char kLabel4[] =
    "\x83\x76\x83\x8d\x83\x4c\x83\x56\x83\x54\x81\x5b\x83\x6f\x83\x41\x83\x68\x83\x8c\x83\x58";
// 本体パスワード
inline constexpr char kLabel5[] = "\x96\x7b\x91\xcc\x83\x70\x83\x58\x83\x8f\x81\x5b\x83\x68";
// ポート
inline constexpr char kLabel6[] = "\x83\x7c\x81\x5b\x83\x67";

// Failure boxes of HttpClient1 by command code (see HttpFailureText).
// RDからの取得に失敗しました -- 0 GET and 2 HEAD
inline constexpr char kFailGet[] =
    "RD\x82\xa9\x82\xe7\x82\xcc\x8e\xe6\x93\xbe\x82\xc9\x8e\xb8\x94\x73\x82\xb5\x82\xdc\x82\xb5\x82"
    "\xbd";
// HTTP OPTIONS Failed -- 1
inline constexpr char kFailOptions[] = "HTTP OPTIONS Failed";
// RDへの送信に失敗しました -- 3
inline constexpr char kFailPost[] =
    "RD\x82\xd6\x82\xcc\x91\x97\x90\x4d\x82\xc9\x8e\xb8\x94\x73\x82\xb5\x82\xdc\x82\xb5\x82\xbd";
// HTTP PUT Failed -- 4
inline constexpr char kFailPut[] = "HTTP PUT Failed";
// HTTP Delete Failed -- 8
inline constexpr char kFailDelete[] = "HTTP Delete Failed";
// HTTP TRACE Failed -- 11
inline constexpr char kFailTrace[] = "HTTP TRACE Failed";

// Status line suffixes; each begins with a blank and follows the address.
//  取得中…
inline constexpr char kStatusFetching[] = " \x8e\xe6\x93\xbe\x92\x86\x81\x63";
//  解析中…
inline constexpr char kStatusParsing[] = " \x89\xf0\x90\xcd\x92\x86\x81\x63";
//  送信中…
inline constexpr char kStatusSending[] = " \x91\x97\x90\x4d\x92\x86\x81\x63";

// The capture.
// RD-X4との通信に失敗しました。
inline constexpr char kCaptureFailed[] =
    "RD-"
    "X4\x82\xc6\x82\xcc\x92\xca\x90\x4d\x82\xc9\x8e\xb8\x94\x73\x82\xb5\x82\xdc\x82\xb5\x82\xbd\x81"
    "\x42";
// RD-X4の設定を取り込みました。
inline constexpr char kCaptureDone[] =
    "RD-"
    "X4\x82\xcc\x90\xdd\x92\xe8\x82\xf0\x8e\xe6\x82\xe8\x8d\x9e\x82\xdd\x82\xdc\x82\xb5\x82\xbd\x81"
    "\x42";

// The restore.
// RD-X4EXとの通信に失敗しました。
inline constexpr char kRestoreCommFailed[] =
    "RD-"
    "X4EX\x82\xc6\x82\xcc\x92\xca\x90\x4d\x82\xc9\x8e\xb8\x94\x73\x82\xb5\x82\xdc\x82\xb5\x82\xbd"
    "\x81\x42";
// これ以上予約できません(最大32件)。
inline constexpr char kRestoreFull[] =
    "\x82\xb1\x82\xea\x88\xc8\x8f\xe3\x97\x5c\x96\xf1\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1("
    "\x8d\xc5\x91\xe5"
    "32\x8c\x8f)\x81\x42";
// RD-X4EXへの予約に失敗した…かも。 -- shown in a confirmation-type box
inline constexpr char kRestoreEntryFailed[] =
    "RD-"
    "X4EX\x82\xd6\x82\xcc\x97\x5c\x96\xf1\x82\xc9\x8e\xb8\x94\x73\x82\xb5\x82\xbd\x81\x63\x82\xa9"
    "\x82\xe0\x81\x42";
// 番目の予約： -- between the file number and the recorder's answer
inline constexpr char kReportSeparator[] = "\x94\xd4\x96\xda\x82\xcc\x97\x5c\x96\xf1\x81\x46";
// 新規予約 -- a reservation list holding it still has a free slot
inline constexpr char kNewReservationMark[] = "\x90\x56\x8b\x4b\x97\x5c\x96\xf1";

// The command line (shown on a terminal, converted there) and where the files live.
// 使い方: zavoconv [capture | restore | list] [オプション]
inline constexpr char kUsageLine[] =
    "\x8e\x67\x82\xa2\x95\xfb: zavoconv [capture | restore | list] "
    "[\x83\x49\x83\x76\x83\x56\x83\x87\x83\x93]";
// RD-X4の録画予約を取り込み、RD-X4EXに復元します。コマンドがなければウィンドウを開きます。
inline constexpr char kUsagePurpose[] =
    "RD-X4\x82\xcc\x98\x5e\x89\xe6\x97\x5c\x96\xf1\x82\xf0\x8e\xe6\x82\xe8\x8d\x9e\x82\xdd"
    "\x81\x41RD-X4EX\x82\xc9\x95\x9c\x8c\xb3\x82\xb5\x82\xdc\x82\xb7\x81\x42\x83\x52\x83"
    "\x7d\x83\x93\x83\x68\x82\xaa\x82\xc8\x82\xaf\x82\xea\x82\xce\x83\x45\x83\x42\x83\x93"
    "\x83\x68\x83\x45\x82\xf0\x8a\x4a\x82\xab\x82\xdc\x82\xb7\x81\x42";
// 取り込んだページ、ログと設定ファイルを置くフォルダ -- --data-dir
inline constexpr char kUsageDataDir[] =
    "\x8e\xe6\x82\xe8\x8d\x9e\x82\xf1\x82\xbe\x83\x79\x81\x5b\x83\x57\x81\x41\x83\x8d\x83\x4f\x82"
    "\xc6"
    "\x90\xdd\x92\xe8\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xf0\x92\x75\x82\xad\x83\x74\x83\x48\x83"
    "\x8b"
    "\x83\x5f";
// この説明を表示して終了します -- --help
inline constexpr char kUsageHelp[] =
    "\x82\xb1\x82\xcc\x90\xe0\x96\xbe\x82\xf0\x95\x5c\x8e\xa6\x82\xb5\x82\xc4\x8f\x49\x97\xb9\x82"
    "\xb5"
    "\x82\xdc\x82\xb7";
// バージョンを表示して終了します -- --version
inline constexpr char kUsageVersion[] =
    "\x83\x6f\x81\x5b\x83\x57\x83\x87\x83\x93\x82\xf0\x95\x5c\x8e\xa6\x82\xb5\x82\xc4\x8f\x49\x97"
    "\xb9"
    "\x82\xb5\x82\xdc\x82\xb7";
// 不明なオプションです -- after the option: "--foo: 不明なオプションです"
inline constexpr char kUnknownOption[] =
    "\x95\x73\x96\xbe\x82\xc8\x83\x49\x83\x76\x83\x56\x83\x87\x83\x93\x82\xc5\x82\xb7";
// 値が必要です -- after the option: "--data-dir: 値が必要です"
inline constexpr char kOptionNeedsValue[] = "\x92\x6c\x82\xaa\x95\x4b\x97\x76\x82\xc5\x82\xb7";
// 余分な引数です -- after the argument: "foo: 余分な引数です"
inline constexpr char kUnexpectedArgument[] =
    "\x97\x5d\x95\xaa\x82\xc8\x88\xf8\x90\x94\x82\xc5\x82\xb7";
// コマンド: -- heads the commands in the usage
inline constexpr char kUsageCommands[] = "\x83\x52\x83\x7d\x83\x93\x83\x68:";
// オプション: -- heads the options in the usage
inline constexpr char kUsageOptions[] = "\x83\x49\x83\x76\x83\x56\x83\x87\x83\x93:";
// RD-X4の予約をウィンドウなしで取り込みます -- capture
inline constexpr char kUsageCapture[] =
    "RD-X4\x82\xcc\x97\x5c\x96\xf1\x82\xf0\x83\x45\x83\x42\x83\x93\x83\x68\x83\x45"
    "\x82\xc8\x82\xb5\x82\xc5\x8e\xe6\x82\xe8\x8d\x9e\x82\xdd\x82\xdc\x82\xb7";
// 保存した予約をウィンドウなしでRD-X4EXに復元します -- restore
inline constexpr char kUsageRestore[] =
    "\x95\xdb\x91\xb6\x82\xb5\x82\xbd\x97\x5c\x96\xf1\x82\xf0\x83\x45\x83\x42\x83\x93"
    "\x83\x68\x83\x45\x82\xc8\x82\xb5\x82\xc5RD-X4EX\x82\xc9\x95\x9c\x8c\xb3\x82\xb5"
    "\x82\xdc\x82\xb7";
// 保存した予約を表で表示します -- list
inline constexpr char kUsageList[] =
    "\x95\xdb\x91\xb6\x82\xb5\x82\xbd\x97\x5c\x96\xf1\x82\xf0\x95\x5c\x82\xc5\x95\x5c"
    "\x8e\xa6\x82\xb5\x82\xdc\x82\xb7";
// 復元する予約の番号 (例: 1,3,5-9) -- --only
inline constexpr char kUsageOnly[] =
    "\x95\x9c\x8c\xb3\x82\xb7\x82\xe9\x97\x5c\x96\xf1\x82\xcc\x94\xd4\x8d\x86 "
    "(\x97\xe1: 1,3,5-9)";
// 表をCSV (UTF-8) で出力します -- --csv
inline constexpr char kUsageCsv[] =
    "\x95\x5c\x82\xf0\x43SV (UTF-8) \x82\xc5\x8f\x6f\x97\xcd\x82\xb5\x82\xdc\x82\xb7";
// 確認の質問に「はい」と答えます -- --yes
inline constexpr char kUsageYes[] =
    "\x8a\x6d\x94\x46\x82\xcc\x8e\xbf\x96\xe2\x82\xc9\x81\x75\x82\xcd\x82\xa2\x81\x76"
    "\x82\xc6\x93\x9a\x82\xa6\x82\xdc\x82\xb7";
// パスワードは設定ファイルか環境変数 ZAVOCONV_PASSWORD から読みます。
inline constexpr char kUsagePassword[] =
    "\x83\x70\x83\x58\x83\x8f\x81\x5b\x83\x68\x82\xcd\x90\xdd\x92\xe8\x83\x74\x83\x40"
    "\x83\x43\x83\x8b\x82\xa9\x8a\xc2\x8b\xab\x95\xcf\x90\x94 ZAVOCONV_PASSWORD "
    "\x82\xa9\x82\xe7\x93\xc7\x82\xdd\x82\xdc\x82\xb7\x81\x42";
// 番号は1から32まで、1,3,5-9 のように指定します -- after "--only: "
inline constexpr char kOnlyMalformed[] =
    "\x94\xd4\x8d\x86\x82\xcd\x31\x82\xa9\x82\xe7\x33\x32\x82\xdc\x82\xc5\x81\x41\x31,"
    "3,5-9 \x82\xcc\x82\xe6\x82\xa4\x82\xc9\x8e\x77\x92\xe8\x82\xb5\x82\xdc\x82\xb7";
// RDの本体名またはIPアドレスがありません
inline constexpr char kHostMissing[] =
    "RD\x82\xcc\x96\x7b\x91\xcc\x96\xbc\x82\xdc\x82\xbd\x82\xcdIP\x83\x41\x83\x68\x83"
    "\x8c\x83\x58\x82\xaa\x82\xa0\x82\xe8\x82\xdc\x82\xb9\x82\xf1";
// RDの本体名またはIPアドレスに使えない文字があります
inline constexpr char kHostHasControl[] =
    "RD\x82\xcc\x96\x7b\x91\xcc\x96\xbc\x82\xdc\x82\xbd\x82\xcdIP\x83\x41\x83\x68\x83"
    "\x8c\x83\x58\x82\xc9\x8e\x67\x82\xa6\x82\xc8\x82\xa2\x95\xb6\x8e\x9a\x82\xaa\x82"
    "\xa0\x82\xe8\x82\xdc\x82\xb7";
// いいえと答えました。--yes を付けると続けます。 -- a question on the command line
inline constexpr char kAnsweredNo[] =
    "\x82\xa2\x82\xa2\x82\xa6\x82\xc6\x93\x9a\x82\xa6\x82\xdc\x82\xb5\x82\xbd\x81\x42"
    "--yes \x82\xf0\x95\x74\x82\xaf\x82\xe9\x82\xc6\x91\xb1\x82\xaf\x82\xdc\x82\xb7"
    "\x81\x42";
// フォルダ %s を作成できません
inline constexpr char kCannotCreateFolderPrefix[] = "\x83\x74\x83\x48\x83\x8b\x83\x5f ";
inline constexpr char kCannotCreateFolderSuffix[] =
    " \x82\xf0\x8d\xec\x90\xac\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1";
// 保存先： -- the viewer's line naming the folder in use
inline constexpr char kDataFolderCaption[] = "\x95\xdb\x91\xb6\x90\xe6\x81\x46";
// 個別録画予約の番号 -- accessible name of the viewer's number field
inline constexpr char kSpinEditName[] =
    "\x8c\xc2\x95\xca\x98\x5e\x89\xe6\x97\x5c\x96\xf1\x82\xcc\x94\xd4\x8d\x86";
// プロキシのポート -- accessible name of the port field, whose label says only "ポート"
inline constexpr char kPortFieldName[] =
    "\x83\x76\x83\x8d\x83\x4c\x83\x56\x82\xcc\x83\x7c\x81\x5b\x83\x67";

// The recorder's factory host name, the default of the host setting.
inline constexpr char kDefaultHost[] = "rd-x4";

// The settings file: extension replacing the program file's, its section and keys in the
// order they are written.
inline constexpr char kIniExtension[] = ".INI";
inline constexpr char kIniSection[] = "RD";
inline constexpr char kIniKeyHost[] = "RDIP";
inline constexpr char kIniKeyUser[] = "RDUSER";
inline constexpr char kIniKeyPassword[] = "RDPASS";
inline constexpr char kIniKeyProxy[] = "RDPROXY";
inline constexpr char kIniKeyProxyPort[] = "RDPORT";

// Files in the program directory, and the header file in the current directory.
inline constexpr char kListPageFile[] = "ZAVOCVRV.HTM";
inline constexpr char kSetupPageFile[] = "ZAVOCVST.HTM";
inline constexpr char kChannelPageFile[] = "ZAVOCVCH.HTM";
inline constexpr char kPostDataFile[] = "Reserv.txt";
inline constexpr char kHeaderFile[] = "Head.txt";
// The restore reads the reservation pages 00 to 31 only.
inline constexpr int kMaxReservations = 32;

// "ZAVOCV" + the number with at least two digits, zero-padded, + ".HTM": 0 gives
// "ZAVOCV00.HTM", 31 gives "ZAVOCV31.HTM".
std::string ReservationPageFile(int number);

// The whole restore confirmation, pieces and line breaks in order.
std::string RestoreConfirmText();

// "%s に書き込めません" with the settings file's path in place of %s.
std::string CannotWriteMessage(const std::string& path);

// N + "番目の録画予約はありません。", N in decimal.
std::string NoSuchReservationMessage(int number);

// The text of HttpClient1's failure box for a command code; empty for a code that has none
// (the transfers issue only 0 GET and 3 POST).
std::string HttpFailureText(uint8_t cmd);

}  // namespace Texts
