// The program's own texts, as the Shift-JIS bytes it shows, sends and stores. Each
// constant carries its readable form in the comment beside it.
#pragma once

#include <cstdint>
#include <string>

namespace Texts {

// Line break inside message texts: LF then CR, in this order.
inline constexpr char kLfCr[] = "\n\r";
// … -- ends a recorder's text cut short for a message box
inline constexpr char kEllipsis[] = "\x81\x63";

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
// 使い方: zavoconv [オプション]
inline constexpr char kUsageLine[] =
    "\x8e\x67\x82\xa2\x95\xfb: zavoconv [\x83\x49\x83\x76\x83\x56\x83\x87\x83\x93]";
// RD-X4の録画予約を取り込み、RD-X4EXに復元します。オプションがなければウィンドウを開きます。
inline constexpr char kUsagePurpose[] =
    "RD-X4\x82\xcc\x98\x5e\x89\xe6\x97\x5c\x96\xf1\x82\xf0\x8e\xe6\x82\xe8\x8d\x9e\x82\xdd\x81\x41"
    "RD-"
    "X4EX\x82\xc9\x95\x9c\x8c\xb3\x82\xb5\x82\xdc\x82\xb7\x81\x42\x83\x49\x83\x76\x83\x56\x83\x87"
    "\x83\x93\x82\xaa\x82\xc8\x82\xaf\x82\xea\x82\xce\x83\x45\x83\x42\x83\x93\x83\x68\x83\x45\x82"
    "\xf0"
    "\x8a\x4a\x82\xab\x82\xdc\x82\xb7\x81\x42";
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
// Refused logins and stopped transfers.
// Follows the address and LF CR when the recorder answers 401 or 403: one box, no retries.
// RDが本体ユーザー名または本体パスワードを受け付けませんでした。
inline constexpr char kLoginRefused[] =
    "RD\x82\xaa\x96\x7b\x91\xcc\x83\x86\x81\x5b\x83\x55\x81\x5b\x96\xbc\x82\xdc\x82\xbd\x82\xcd\x96"
    "\x7b\x91\xcc\x83\x70\x83\x58\x83\x8f\x81\x5b\x83\x68\x82\xf0\x8e\xf3\x82\xaf\x95\x74\x82\xaf"
    "\x82\xdc\x82\xb9\x82\xf1\x82\xc5\x82\xb5\x82\xbd\x81\x42";
// The stop button, shown while a transfer runs.
// 中止
inline constexpr char kGetBtnStop[] = "\x92\x86\x8e\x7e";
// Closing the dialog while a transfer runs (a Yes/No question, No by default).
// 実行中の処理を中止して閉じますか？
inline constexpr char kAskStopOnClose[] =
    "\x8e\xc0\x8d\x73\x92\x86\x82\xcc\x8f\x88\x97\x9d\x82\xf0\x92\x86\x8e\x7e\x82\xb5\x82\xc4\x95"
    "\xc2\x82\xb6\x82\xdc\x82\xb7\x82\xa9\x81\x48";
// A capture stopped by the user; the saved set of the previous capture stays.
// RD-X4からの取込を中止しました。
inline constexpr char kCaptureStopped[] =
    "RD-"
    "X4\x82\xa9\x82\xe7\x82\xcc\x8e\xe6\x8d\x9e\x82\xf0\x92\x86\x8e\x7e\x82\xb5\x82\xdc\x82\xb5\x82"
    "\xbd\x81\x42";

// Before a restore: kRestoreHolds1 + N + kRestoreHolds2 + LF CR + kRestoreHolds3.
// RD-X4EXには既に
inline constexpr char kRestoreHolds1[] = "RD-X4EX\x82\xc9\x82\xcd\x8a\xf9\x82\xc9";
// 件の予約があります。
inline constexpr char kRestoreHolds2[] =
    "\x8c\x8f\x82\xcc\x97\x5c\x96\xf1\x82\xaa\x82\xa0\x82\xe8\x82\xdc\x82\xb7\x81\x42";
// 復元を続けると、同じ予約が重複して登録されます。続けますか？
inline constexpr char kRestoreHolds3[] =
    "\x95\x9c\x8c\xb3\x82\xf0\x91\xb1\x82\xaf\x82\xe9\x82\xc6\x81\x41\x93\xaf\x82\xb6\x97\x5c\x96"
    "\xf1\x82\xaa\x8f\x64\x95\xa1\x82\xb5\x82\xc4\x93\x6f\x98\x5e\x82\xb3\x82\xea\x82\xdc\x82\xb7"
    "\x81\x42\x91\xb1\x82\xaf\x82\xdc\x82\xb7\x82\xa9\x81\x48";
// Last line of a stopped restore's report, followed by the numbers left out, joined by
// kListSeparator.
// 中止しました。登録しなかった予約：
inline constexpr char kRestoreStopped[] =
    "\x92\x86\x8e\x7e\x82\xb5\x82\xdc\x82\xb5\x82\xbd\x81\x42\x93\x6f\x98\x5e\x82\xb5\x82\xc8\x82"
    "\xa9\x82\xc1\x82\xbd\x97\x5c\x96\xf1\x81\x46";
// 、
inline constexpr char kListSeparator[] = "\x81\x41";
// The check after a restore: kCheckHead + now + kCheckCount + before + kCheckPlus + entered +
// kCheckEquals + expected + kCheckExpected + kCheckMatch or kCheckMismatch.
// 確認：RD-X4EXの予約は
inline constexpr char kCheckHead[] =
    "\x8a\x6d\x94\x46\x81\x46RD-X4EX\x82\xcc\x97\x5c\x96\xf1\x82\xcd";
// 件です（復元前
inline constexpr char kCheckCount[] = "\x8c\x8f\x82\xc5\x82\xb7\x81\x69\x95\x9c\x8c\xb3\x91\x4f";
// 件＋今回
inline constexpr char kCheckPlus[] = "\x8c\x8f\x81\x7b\x8d\xa1\x89\xf1";
// 件＝
inline constexpr char kCheckEquals[] = "\x8c\x8f\x81\x81";
// 件のはず）。
inline constexpr char kCheckExpected[] = "\x8c\x8f\x82\xcc\x82\xcd\x82\xb8\x81\x6a\x81\x42";
// 件数は合っています。
inline constexpr char kCheckMatch[] =
    "\x8c\x8f\x90\x94\x82\xcd\x8d\x87\x82\xc1\x82\xc4\x82\xa2\x82\xdc\x82\xb7\x81\x42";
// 件数が合いません。
inline constexpr char kCheckMismatch[] =
    "\x8c\x8f\x90\x94\x82\xaa\x8d\x87\x82\xa2\x82\xdc\x82\xb9\x82\xf1\x81\x42";
// The check when the list could not be read afterwards.
// 確認：RD-X4EXの予約一覧を読めなかったため、件数を確かめられませんでした。
inline constexpr char kCheckUnknown[] =
    "\x8a\x6d\x94\x46\x81\x46RD-"
    "X4EX\x82\xcc\x97\x5c\x96\xf1\x88\xea\x97\x97\x82\xf0\x93\xc7\x82\xdf\x82\xc8\x82\xa9\x82\xc1"
    "\x82\xbd\x82\xbd\x82\xdf\x81\x41\x8c\x8f\x90\x94\x82\xf0\x8a\x6d\x82\xa9\x82\xdf\x82\xe7\x82"
    "\xea\x82\xdc\x82\xb9\x82\xf1\x82\xc5\x82\xb5\x82\xbd\x81\x42";
// Title of each block of the report file, after the date, the time and the recorder's host.
// RD-X4EXへの復元
inline constexpr char kReportBlockTitle[] = "RD-X4EX\x82\xd6\x82\xcc\x95\x9c\x8c\xb3";
// Added to the report box when its file could not be written, followed by the path.
// 報告をファイルに書き込めませんでした：
inline constexpr char kReportFileFailed[] =
    "\x95\xf1\x8d\x90\x82\xf0\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xc9\x8f\x91\x82\xab\x8d\x9e\x82"
    "\xdf\x82\xdc\x82\xb9\x82\xf1\x82\xc5\x82\xb5\x82\xbd\x81\x46";

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
// The restore reports, appended one block per restore (Shift-JIS, CR LF).
inline constexpr char kRestoreReportFile[] = "ZAVOCVRP.TXT";
inline constexpr char kHeaderFile[] = "Head.txt";
// The restore reads the reservation pages 00 to 31 only.
inline constexpr int kMaxReservations = 32;

// The saved set: the capture's count, the smaller-capture question, the staging folder.
// 保存した予約：
inline constexpr char kCaptureSavedCount1[] =
    "\x95\xdb\x91\xb6\x82\xb5\x82\xbd\x97\x5c\x96\xf1\x81\x46";
// 件
inline constexpr char kCountSuffix[] = "\x8c\x8f";
// 今回取り込んだ予約は
inline constexpr char kSmallerCapture1[] =
    "\x8d\xa1\x89\xf1\x8e\xe6\x82\xe8\x8d\x9e\x82\xf1\x82\xbe\x97\x5c\x96\xf1\x82\xcd";
// 件で、保存されている予約（
inline constexpr char kSmallerCapture2[] =
    "\x8c\x8f\x82\xc5\x81\x41\x95\xdb\x91\xb6\x82\xb3\x82\xea\x82\xc4\x82\xa2\x82\xe9\x97\x5c\x96"
    "\xf1\x81\x69";
// 件）より少なくなります。
inline constexpr char kSmallerCapture3[] =
    "\x8c\x8f\x81\x6a\x82\xe6\x82\xe8\x8f\xad\x82\xc8\x82\xad\x82\xc8\x82\xe8\x82\xdc\x82\xb7\x81"
    "\x42";
// 保存されている内容を置き換えますか？（置き換えた内容はバックアップに残ります）
inline constexpr char kSmallerCapture4[] =
    "\x95\xdb\x91\xb6\x82\xb3\x82\xea\x82\xc4\x82\xa2\x82\xe9\x93\xe0\x97\x65\x82\xf0\x92\x75\x82"
    "\xab\x8a\xb7\x82\xa6\x82\xdc\x82\xb7\x82\xa9\x81\x48\x81\x69\x92\x75\x82\xab\x8a\xb7\x82\xa6"
    "\x82\xbd\x93\xe0\x97\x65\x82\xcd\x83\x6f\x83\x62\x83\x4e\x83\x41\x83\x62\x83\x76\x82\xc9\x8e"
    "\x63\x82\xe8\x82\xdc\x82\xb7\x81\x6a";
// フォルダ
inline constexpr char kCannotCreateFolder1[] = "\x83\x74\x83\x48\x83\x8b\x83\x5f ";
//  を作成できません
inline constexpr char kCannotCreateFolder2[] =
    " \x82\xf0\x8d\xec\x90\xac\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1";

// The viewer's table of saved reservations, its CSV export and the backup.
// CSVに書き出し
inline constexpr char kDispBtnCsv[] = "CSV\x82\xc9\x8f\x91\x82\xab\x8f\x6f\x82\xb5";
// バックアップを戻す
inline constexpr char kDispBtnBackup[] =
    "\x83\x6f\x83\x62\x83\x4e\x83\x41\x83\x62\x83\x76\x82\xf0\x96\xdf\x82\xb7";
// バックアップはありません。
inline constexpr char kNoBackup[] =
    "\x83\x6f\x83\x62\x83\x4e\x83\x41\x83\x62\x83\x76\x82\xcd\x82\xa0\x82\xe8\x82\xdc\x82\xb9\x82"
    "\xf1\x81\x42";
// バックアップ（予約
inline constexpr char kRestoreBackup1[] =
    "\x83\x6f\x83\x62\x83\x4e\x83\x41\x83\x62\x83\x76\x81\x69\x97\x5c\x96\xf1";
// 件）を戻しますか？
inline constexpr char kRestoreBackup2[] =
    "\x8c\x8f\x81\x6a\x82\xf0\x96\xdf\x82\xb5\x82\xdc\x82\xb7\x82\xa9\x81\x48";
// 今の内容（予約
inline constexpr char kRestoreBackup3[] =
    "\x8d\xa1\x82\xcc\x93\xe0\x97\x65\x81\x69\x97\x5c\x96\xf1";
// 件）はバックアップになります。
inline constexpr char kRestoreBackup4[] =
    "\x8c\x8f\x81\x6a\x82\xcd\x83\x6f\x83\x62\x83\x4e\x83\x41\x83\x62\x83\x76\x82\xc9\x82\xc8\x82"
    "\xe8\x82\xdc\x82\xb7\x81\x42";
// 保存されている予約：
inline constexpr char kSummaryCount[] =
    "\x95\xdb\x91\xb6\x82\xb3\x82\xea\x82\xc4\x82\xa2\x82\xe9\x97\x5c\x96\xf1\x81\x46";
// 保存されている予約はありません。
inline constexpr char kSummaryNone[] =
    "\x95\xdb\x91\xb6\x82\xb3\x82\xea\x82\xc4\x82\xa2\x82\xe9\x97\x5c\x96\xf1\x82\xcd\x82\xa0\x82"
    "\xe8\x82\xdc\x82\xb9\x82\xf1\x81\x42";
// すべてのページから復元に必要な項目を読み取れました。
inline constexpr char kSummaryAllWhole[] =
    "\x82\xb7\x82\xd7\x82\xc4\x82\xcc\x83\x79\x81\x5b\x83\x57\x82\xa9\x82\xe7\x95\x9c\x8c\xb3\x82"
    "\xc9\x95\x4b\x97\x76\x82\xc8\x8d\x80\x96\xda\x82\xf0\x93\xc7\x82\xdd\x8e\xe6\x82\xea\x82\xdc"
    "\x82\xb5\x82\xbd\x81\x42";
// うち
inline constexpr char kSummaryIncomplete1[] = "\x82\xa4\x82\xbf";
// 件のページは項目が欠けています（×印）。
inline constexpr char kSummaryIncomplete2[] =
    "\x8c\x8f\x82\xcc\x83\x79\x81\x5b\x83\x57\x82\xcd\x8d\x80\x96\xda\x82\xaa\x8c\x87\x82\xaf\x82"
    "\xc4\x82\xa2\x82\xdc\x82\xb7\x81\x69\x81\x7e\x88\xf3\x81\x6a\x81\x42";

// A saved page that the restore would not send whole: the mark of its row and why.
// ×
inline constexpr char kIncompleteMark[] = "\x81\x7e";
// 欠けている項目：
inline constexpr char kRowMissingFields[] =
    "\x8c\x87\x82\xaf\x82\xc4\x82\xa2\x82\xe9\x8d\x80\x96\xda\x81\x46";
// 途中で切れています。
inline constexpr char kRowCut[] =
    "\x93\x72\x92\x86\x82\xc5\x90\xd8\x82\xea\x82\xc4\x82\xa2\x82\xdc\x82\xb7\x81\x42";
// ファイルを読めません。
inline constexpr char kRowUnreadable[] =
    "\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xf0\x93\xc7\x82\xdf\x82\xdc\x82\xb9\x82\xf1\x81\x42";
// ファイルが大きすぎます。
inline constexpr char kRowTooLarge[] =
    "\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xaa\x91\xe5\x82\xab\x82\xb7\x82\xac\x82\xdc\x82\xb7\x81"
    "\x42";
// テキストではないデータを含んでいます。
inline constexpr char kRowBinary[] =
    "\x83\x65\x83\x4c\x83\x58\x83\x67\x82\xc5\x82\xcd\x82\xc8\x82\xa2\x83\x66\x81\x5b\x83\x5e\x82"
    "\xf0\x8a\xdc\x82\xf1\x82\xc5\x82\xa2\x82\xdc\x82\xb7\x81\x42";
// Shift-JISとして読めない文字を含んでいます。
inline constexpr char kRowNotSjis[] =
    "Shift-"
    "JIS\x82\xc6\x82\xb5\x82\xc4\x93\xc7\x82\xdf\x82\xc8\x82\xa2\x95\xb6\x8e\x9a\x82\xf0\x8a\xdc"
    "\x82\xf1\x82\xc5\x82\xa2\x82\xdc\x82\xb7\x81\x42";

// Column headings of the table and of its CSV file.
// 番号
inline constexpr char kColNumber[] = "\x94\xd4\x8d\x86";
// 実行
inline constexpr char kColOn[] = "\x8e\xc0\x8d\x73";
// 日付
inline constexpr char kColDate[] = "\x93\xfa\x95\x74";
// 開始
inline constexpr char kColStart[] = "\x8a\x4a\x8e\x6e";
// 終了
inline constexpr char kColEnd[] = "\x8f\x49\x97\xb9";
// チャンネル・入力
inline constexpr char kColChannel[] =
    "\x83\x60\x83\x83\x83\x93\x83\x6c\x83\x8b\x81\x45\x93\xfc\x97\xcd";
// 録画モード
inline constexpr char kColMode[] = "\x98\x5e\x89\xe6\x83\x82\x81\x5b\x83\x68";
// 番組名
inline constexpr char kColTitle[] = "\x94\xd4\x91\x67\x96\xbc";
// 備考
inline constexpr char kColProblem[] = "\x94\xf5\x8d\x6c";

// The folders beside the saved pages: the capture being written, and the set it replaced.
inline constexpr char kStagingFolder[] = "ZAVOCV-staging";
inline constexpr char kBackupFolder[] = "ZAVOCV-backup";

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

// The completion box of a capture: "RD-X4の設定を取り込みました。", LF CR, "保存した予約：N件".
std::string CaptureDoneMessage(int count);

// The question before a capture with fewer reservations replaces the saved set.
std::string SmallerCaptureQuestion(int newCount, int savedCount);

// "フォルダ %s を作成できません" with the folder's path in place of %s.
std::string CannotCreateFolderMessage(const std::string& path);

// The question before the backup is swapped with the saved set.
std::string RestoreBackupQuestion(int backupCount, int currentCount);

}  // namespace Texts
