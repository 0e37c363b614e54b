// The recorder's own Japanese texts, as Shift-JIS bytes (the readable text in each comment).
#pragma once

namespace recsim::texts {

inline constexpr char kFramePageTitle[] = "\x94\xD4\x91\x67\x97\x5C\x96\xF1";        // 番組予約
inline constexpr char kListTitle[] = "\x97\x5C\x96\xF1\x88\xEA\x97\x97";             // 予約一覧
inline constexpr char kNewReservation[] = "\x90\x56\x8B\x4B\x97\x5C\x96\xF1";        // 新規予約
inline constexpr char kPaused[] = "\x81\x69\x8B\x78\x8E\x7E\x81\x6A";                // （休止）
inline constexpr char kFormTitle[] = "\x97\x5C\x96\xF1\x90\xDD\x92\xE8";             // 予約設定
inline constexpr char kLabelExec[] = "\x97\x5C\x96\xF1\x8E\xC0\x8D\x73";             // 予約実行
inline constexpr char kLabelExecOn[] = "\x8E\xC0\x8D\x73\x82\xB7\x82\xE9";           // 実行する
inline constexpr char kLabelTitle[] = "\x94\xD4\x91\x67\x96\xBC";                    // 番組名
inline constexpr char kLabelGenre[] = "\x83\x57\x83\x83\x83\x93\x83\x8B";            // ジャンル
inline constexpr char kLabelChannel[] = "\x83\x60\x83\x83\x83\x93\x83\x6C\x83\x8B";  // チャンネル
inline constexpr char kLabelDate[] = "\x93\xFA\x95\x74";                             // 日付
inline constexpr char kLabelStart[] = "\x8A\x4A\x8E\x6E\x8E\x9E\x8D\x8F";            // 開始時刻
inline constexpr char kLabelEnd[] = "\x8F\x49\x97\xB9\x8E\x9E\x8D\x8F";              // 終了時刻
inline constexpr char kHour[] = "\x8E\x9E";                                          // 時
inline constexpr char kMinute[] = "\x95\xAA";                                        // 分
inline constexpr char kLabelDisc[] = "\x8B\x4C\x98\x5E\x90\xE6";                     // 記録先
inline constexpr char kLabelVrate[] = "\x89\xE6\x8E\xBF";                            // 画質
inline constexpr char kLabelAmode[] = "\x89\xB9\x90\xBA";                            // 音声
inline constexpr char kLabelDvdr[] = "DVD-R\x8C\xDD\x8A\xB7";                        // DVD-R互換
inline constexpr char kLabelAspect[] = "\x89\xE6\x96\xCA\x94\xE4\x97\xA6";           // 画面比率
inline constexpr char kLabelVPerform[] = "\x8D\x82\x89\xE6\x8E\xBF\x8F\x88\x97\x9D";  // 高画質処理
inline constexpr char kLabelAutoChapter[] =
    "\x8E\xA9\x93\xAE\x83\x60\x83\x83\x83\x76\x83\x5E\x81\x5B";            // 自動チャプター
inline constexpr char kLabelDetail[] = "\x8F\xDA\x8D\xD7";                 // 詳細
inline constexpr char kEnter[] = "\x93\x6F\x98\x5E";                       // 登録
inline constexpr char kSetupTitle[] = "\x96\x7B\x91\xCC\x90\xDD\x92\xE8";  // 本体設定
inline constexpr char kSetupUnitName[] = "\x8B\x40\x8A\xED\x96\xBC";       // 機器名
inline constexpr char kSetupAdminPassword[] =
    "\x8A\xC7\x97\x9D\x8E\xD2\x83\x70\x83\x58\x83\x8F\x81\x5B\x83\x68";  // 管理者パスワード
inline constexpr char kSetupUserName[] = "\x83\x86\x81\x5B\x83\x55\x81\x5B\x96\xBC";  // ユーザー名
inline constexpr char kSetupUserPassword[] =
    "\x83\x86\x81\x5B\x83\x55\x81\x5B\x83\x70\x83\x58\x83\x8F\x81\x5B\x83\x68";  // ユーザーパスワード
inline constexpr char kSetupConfirm[] =
    "\x83\x70\x83\x58\x83\x8F\x81\x5B\x83\x68\x8A\x6D\x94\x46";  // パスワード確認
inline constexpr char kSetupMailPassword[] =
    "\x83\x81\x81\x5B\x83\x8B\x83\x70\x83\x58\x83\x8F\x81\x5B\x83\x68";  // メールパスワード
inline constexpr char kChannelTitle[] =
    "\x83\x60\x83\x83\x83\x93\x83\x6C\x83\x8B\x90\xDD\x92\xE8";             // チャンネル設定
inline constexpr char kChannelStation[] = "\x95\xFA\x91\x97\x8B\xC7";       // 放送局
inline constexpr char kChannelSkip[] = "\x83\x58\x83\x4C\x83\x62\x83\x76";  // スキップ
inline constexpr char kExternalInput[] = "\x8A\x4F\x95\x94\x93\xFC\x97\xCD";  // 外部入力
inline constexpr char kEntryDone[] =
    "\x90\xB3\x8F\xED\x82\xC9\x93\x6F\x98\x5E\x82\xC5\x82\xAB\x82\xDC\x82\xB5\x82\xBD";  // 正常に登録できました
inline constexpr char kEntryModified[] =
    "\x8F\x43\x90\xB3\x82\xB5\x82\xDC\x82\xB5\x82\xBD";  // 修正しました
inline constexpr char kEntryOverlap[] =
    "\x97\x5C\x96\xF1\x8E\x9E\x8A\xD4\x82\xAA\x88\xEA\x95\x94\x8F\x64\x95\xA1\x82\xB5\x82\xC4\x82"
    "\xA2\x82\xDC\x82\xB7";  // 予約時間が一部重複しています
inline constexpr char kEntryOverlapWith[] =
    "\x8F\x64\x95\xA1\x82\xB5\x82\xC4\x82\xA2\x82\xE9\x97\x5C\x96\xF1\x81"
    "\x46";  // 重複している予約：
inline constexpr char kEntryFull[] =
    "\x97\x5C\x96\xF1\x90\x94\x82\xAA\x8D\xC5\x91\xE5\x82\xCC"
    "32\x8C\x8F\x82\xC9\x92\x42\x82\xB5\x82\xC4\x82\xA2\x82\xE9\x82\xBD\x82\xDF\x93\x6F\x98\x5E\x82"
    "\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1";  // 予約数が最大の32件に達しているため登録できません
inline constexpr char kEntryRejected[] =
    "\x97\x5C\x96\xF1\x82\xF0\x93\x6F\x98\x5E\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1\x82\xC5\x82"
    "\xB5\x82\xBD";  // 予約を登録できませんでした
inline constexpr char kFieldItem[] = "\x8D\x80\x96\xDA ";  // 項目
inline constexpr char kFieldMissing[] =
    " \x82\xAA\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1";  //  がありません
inline constexpr char kFieldBad[] =
    " \x82\xCC\x92\x6C\x82\xAA\x90\xB3\x82\xB5\x82\xAD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82"
    "\xF1";  //  の値が正しくありません
inline constexpr char kSameTimes[] =
    "\x8A\x4A\x8E\x6E\x8E\x9E\x8D\x8F\x82\xC6\x8F\x49\x97\xB9\x8E\x9E\x8D\x8F\x82\xAA\x93\xAF\x82"
    "\xB6\x82\xC5\x82\xB7";  // 開始時刻と終了時刻が同じです
inline constexpr char kEntryResult[] = "\x93\x6F\x98\x5E\x8C\x8B\x89\xCA";  // 登録結果
inline constexpr char kEveryDay[] = "\x96\x88\x93\xFA";                     // 毎日
inline constexpr char kEveryWeek[] = "\x96\x88\x8F\x54";                    // 毎週
inline constexpr char kWeekdaySuffix[] = "\x97\x6A";                        // 曜
inline constexpr char kMonFri[] = "\x8C\x8E\x81\x60\x8B\xE0";               // 月～金
inline constexpr char kMonSat[] = "\x8C\x8E\x81\x60\x93\x79";               // 月～土
inline constexpr char kAuto[] = "\x8E\xA9\x93\xAE";                         // 自動
inline constexpr const char* kWeekdays[7] = {"\x93\xFA", "\x8C\x8E", "\x89\xCE", "\x90\x85",
                                             "\x96\xD8", "\x8B\xE0", "\x93\x79"};  // 日月火水木金土
inline constexpr const char* kGenreNames[11] = {
    "\x89\x66\x89\xE6",                                                  // 映画
    "\x83\x68\x83\x89\x83\x7D",                                          // ドラマ
    "\x83\x41\x83\x6A\x83\x81",                                          // アニメ
    "\x83\x58\x83\x7C\x81\x5B\x83\x63",                                  // スポーツ
    "\x89\xB9\x8A\x79",                                                  // 音楽
    "\x83\x6A\x83\x85\x81\x5B\x83\x58",                                  // ニュース
    "\x8F\xEE\x95\xF1",                                                  // 情報
    "\x83\x6F\x83\x89\x83\x47\x83\x65\x83\x42",                          // バラエティ
    "\x83\x68\x83\x4C\x83\x85\x83\x81\x83\x93\x83\x5E\x83\x8A\x81\x5B",  // ドキュメンタリー
    "\x8B\xB3\x88\xE7",                                                  // 教育
    "\x82\xBB\x82\xCC\x91\xBC",                                          // その他
};
inline constexpr const char* kAmodeNames[4] = {
    "\x83\x68\x83\x8B\x83\x72\x81\x5B\x83\x66\x83\x57\x83\x5E\x83\x8B",  // ドルビーデジタル
    "\x83\x8A\x83\x6A\x83\x41PCM",                                       // リニアPCM
    "\x93\xF1\x82\xA9\x8D\x91\x8C\xEA\x81\x69\x8E\xE5\x81\x6A",          // 二か国語（主）
    "\x93\xF1\x82\xA9\x8D\x91\x8C\xEA\x81\x69\x95\x9B\x81\x6A",          // 二か国語（副）
};
inline constexpr const char* kDvdrNames[2] = {
    "\x82\xB5\x82\xC8\x82\xA2",  // しない
    "\x82\xB7\x82\xE9",          // する
};
inline constexpr const char* kAspectNames[3] = {
    "4:3",                                                       // 4:3
    "16:9",                                                      // 16:9
    "\x83\x8C\x83\x5E\x81\x5B\x83\x7B\x83\x62\x83\x4E\x83\x58",  // レターボックス
};
inline constexpr const char* kOnOffNames[2] = {
    "\x90\xD8",  // 切
    "\x93\xFC",  // 入
};

}  // namespace recsim::texts
