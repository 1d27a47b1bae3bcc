#include "DumpMessages.h"

#include <cstddef>

namespace {

struct MessageRow {
    Msg id;
    const char* text;
};

constexpr MessageRow Messages[] = {
    {Msg::UnknownOption, u8"不明なオプションです: "},
    {Msg::NearestOption, u8" (近いオプション: "},
    {Msg::GivenTwice, u8"一度だけ指定できるオプションです: "},
    {Msg::NoValue, u8"値がありません: "},
    {Msg::OnePath, u8"パスは一つだけ指定できます: "},
    {Msg::NoLeadingSeparator, u8"パスは \\ で始めてください: "},
    {Msg::DoubledSeparator, u8"パスに \\ が二つ続いています: "},
    {Msg::OutOfMemory, u8"メモリが足りません: "},
    {Msg::BadDepth, u8"--depth には 0 以上の整数を指定してください: "},
    {Msg::DepthTooLarge, u8"--depth には 2147483647 までの整数を指定してください: "},
    {Msg::BadInterval, u8"--interval には 100 以上のミリ秒数を指定してください: "},
    {Msg::IntervalTooLarge, u8"--interval には 2147483647 までのミリ秒数を指定してください: "},
    {Msg::IntervalWithoutWatch, u8"--interval は --watch の見直す間隔です: "},
    {Msg::NotWithWatch, u8"--watch とは一緒に使えません: "},
    {Msg::TooManyTypes, u8"--type は 64 個まで指定できます: "},
    {Msg::TooManyHeldBy, u8"--held-by は 16 個まで指定できます: "},
    {Msg::TooManySubjects, u8"--writable-by と --writable-by-process は合わせて 16 個まで指定できます: "},
    {Msg::EmptyWritableBy, u8"--writable-by の値が空です"},
    {Msg::EmptyWritableByProcess, u8"--writable-by-process の値が空です"},
    {Msg::AccountNotFound, u8"アカウントが見つかりません: "},
    {Msg::NotAccountOrGroup, u8"アカウントでもグループでもありません: "},
    {Msg::BadIntegrity, u8"整合性レベルは untrusted, low, medium, high, system か S-1-16-N です: "},
    {Msg::EmptyRestrictedTo, u8"--restricted-to の値が空です"},
    {Msg::TooManyRestrictedTo, u8"--restricted-to は 16 個まで指定できます: "},
    {Msg::TooManyCapabilities, u8"--capability は 16 個まで指定できます: "},
    {Msg::NotCapability, u8"ケーパビリティではありません: "},
    {Msg::PackageNamesUnsupported, u8"このシステムではパッケージ名から SID を求められません (SID で指定してください): "},
    {Msg::NotPackage, u8"AppContainer のパッケージではありません: "},
    {Msg::NoSubject, u8"--writable-by か --writable-by-process で主体を指定してください: "},
    {Msg::ElevatedWithoutUser, u8"--elevated はユーザーのアカウントの --writable-by に使います: "},
    {Msg::CapabilityWithoutPackage, u8"--capability は --appcontainer と一緒に使います: "},
    {Msg::WriteRestrictedAlone, u8"--write-restricted は --restricted-to と一緒に使います: "},
    {Msg::ExplainNeedsPath, u8"--explain には一つのオブジェクトのパスが要ります: "},
    {Msg::UnknownType, u8"システムにない種類です: "},
    {Msg::SystemTypes, u8" (このシステムの種類: "},
    {Msg::ProgramNotRunning, u8"実行中のプロセスが見つかりません: "},
    {Msg::UsageHint, u8" (使い方: kagero-dump --help)\n"},
    {Msg::UnreadableTokens, u8"トークンを読めなかったプロセスは数えません: "},
    {Msg::UnlistedGroups, u8"グループを一覧できなかったアカウントは数えません: "},
    {Msg::NotExaminedLead, u8"kagero-dump: ハンドルを調べられなかったプロセスが "},
    {Msg::NotExaminedCount, u8" 個あります (保持者は分かりません): "},
    {Msg::NoStopEvent, u8"kagero-dump: Ctrl+C を待つイベントを作れないので見張れません (エラー "},
    {Msg::ExplainSubject, u8"  主体:"},
    {Msg::ExplainSid, u8"\n    SID: "},
    {Msg::ExplainIntegrityLevel, u8"\n    整合性レベル: "},
    {Msg::ExplainPolicy, u8"\n    必須ポリシー: "},
    {Msg::ExplainRestricting, u8"\n    制限 SID: "},
    {Msg::ExplainWriteRestricted, u8"\n    書き込み制限"},
    {Msg::ExplainPackage, u8"\n    パッケージ: "},
    {Msg::ExplainCapabilities, u8"\n    機能: "},
    {Msg::ExplainObject, u8"  オブジェクト:"},
    {Msg::ExplainType, u8"\n    種類: "},
    {Msg::ExplainOwner, u8"\n    所有者: "},
    {Msg::ExplainDacl, u8"\n    DACL: "},
    {Msg::ExplainEntryCount, u8" 個のエントリ"},
    {Msg::ExplainLabel, u8"\n    ラベル: "},
    {Msg::ExplainDefaultLevel, u8"既定 "},
    {Msg::ExplainAceType, u8"種類 "},
    {Msg::ExplainArrow, u8" → "},
    {Msg::ExplainPass, u8"  パス: "},
    {Msg::ExplainOwnerRightsEntry, u8"、OWNER RIGHTS のエントリ: "},
    {Msg::ExplainImplicitRights, u8" → 暗黙の権利: "},
    {Msg::ExplainPassTotal, u8"    計"},
    {Msg::ExplainCombine, u8"  パスの組み合わせ: "},
    {Msg::ExplainIntegrity, u8"  整合性:"},
    {Msg::ExplainSubjectLevel, u8" 主体 "},
    {Msg::ExplainObjectLevel, u8"、オブジェクト "},
    {Msg::ExplainRemoved, u8"、取り除く権利: "},
    {Msg::ExplainResult, u8"  結果:"},
    {Msg::ExplainComma, u8"、"},
    {Msg::ExplainInheritOnly, u8"継承専用のため対象外"},
    {Msg::ExplainUnevaluated, u8"評価しない種類"},
    {Msg::ExplainNotForSubject, u8"該当しない"},
    {Msg::ExplainAllowOnDenyOnly, u8"拒否のみのため許可は数えない"},
    {Msg::ExplainAllow, u8"許可"},
    {Msg::ExplainDeny, u8"拒否"},
    {Msg::ExplainSubjectPass, u8"主体の SID"},
    {Msg::ExplainRestrictedPass, u8"制限 SID"},
    {Msg::ExplainPackagePass, u8"パッケージ"},
    {Msg::ExplainNullDacl, u8"NULL DACL (すべて許可)"},
    {Msg::ExplainEmptyDacl, u8"空"},
    {Msg::ExplainLevelLower, u8"主体のレベルが低い"},
    {Msg::ExplainPolicyOff, u8"主体の必須ポリシーがなし"},
    {Msg::ExplainNotLower, u8"主体のレベルが低くない"},
    {Msg::ExplainDisabled, u8"無効"},
    {Msg::ExplainEnabled, u8"有効"},
    {Msg::ExplainDenyOnly, u8"拒否のみ"},
    {Msg::ExplainNone, u8"なし"},
    {Msg::ExplainNoWriteUp, u8"書き込み上方禁止"},
    {Msg::ExplainNoReadUp, u8"読み取り上方禁止"},
    {Msg::ExplainNoExecuteUp, u8"実行上方禁止"},
    {Msg::ExplainSubjectOnly, u8"主体の SID のみ"},
    {Msg::ExplainByRestricted, u8"制限 SID も許可した権利だけ"},
    {Msg::ExplainByWriteRestricted, u8"ただし種類の汎用書き込みの権利に限る"},
    {Msg::ExplainByPackage, u8"パッケージも許可した権利だけ"},
    {Msg::ExplainYes, u8"はい"},
    {Msg::ExplainNo, u8"いいえ"},
    {Msg::ExplainPresent, u8"あり"},
    {Msg::ExplainApplied, u8"適用する"},
    {Msg::ExplainNotApplied, u8"適用しない"},
    {Msg::TooManyFindFrom, u8"--find-from は 16 個までです: "},
    {Msg::FindFromUnreadable, u8"名前の一覧を読めません: "},
    {Msg::FindFromBadLine, u8"名前になりません: "},
    {Msg::AgainstWithoutCompare, u8"--against は --compare と一緒に使います: "},
    {Msg::NotWithCompare, u8"--compare とは一緒に使えません: "},
    {Msg::BaselineUnreadable, u8"比べる元を読めません: "},
    {Msg::BaselineNotDump, u8"kagero-dump --json の出力ではありません: "},
    {Msg::BaselineLine, u8" 行目: "},
    {Msg::BaselineMadeWith, u8"比べる元は別のオプションで作られています (今はないもの: "},
    {Msg::BaselineMadeWithout, u8"比べる元は別のオプションで作られています (比べる元にないもの: "},
    {Msg::BaselineUnknownLead, u8"kagero-dump: 比べる元で一覧できなかったディレクトリが "},
    {Msg::BaselineUnknownCount, u8" 個あります。その下の項目は比べません: "},
    {Msg::CompareNoValue, u8"(なし)"},
    {Msg::StuckNamesLead, u8"kagero-dump: "},
    {Msg::StuckNamesCount, u8" 個のハンドルは時間内に名前が分かりませんでした。プロセス: "},
    {Msg::FileNeedsHolders, u8"ファイルは保持者だけを表示できます (--holders を付けてください): "},
    {Msg::OwnHandlesUncounted, u8"kagero-dump: kagero-dump 自身のハンドルは数えません。\n"},
};

struct WideMessageRow {
    WideMsg id;
    const wchar_t* text;
};

constexpr WideMessageRow WideMessages[] = {
    {WideMsg::PathNotFound, L"パスが見つかりません。"},
    {WideMsg::NoMemory, L"メモリが足りません。"},
    {WideMsg::BadAcl, L"DACL が壊れています。"},
    {WideMsg::ListingFailedCode, L"ERROR - "},
    {WideMsg::SecurityFailedCode, L"セキュリティを読めませんでした。- CODE:"},
    {WideMsg::OpenFailedCode, L"オープンできませんでした。- CODE:"},
    {WideMsg::NotExamined, L"ハンドルを調べられなかったプロセスがあります (保持者は分かりません)。"},
    {WideMsg::NoHandleList, L"ハンドルの一覧を読めませんでした: "},
    {WideMsg::WatchNeedsDirectory, L"見張れるのはディレクトリだけです。"},
    {WideMsg::ListableAgain, L"一覧できるようになりました。"},
    {WideMsg::Watching, L"見張りを始めました (Ctrl+C で終わります)。"},
    {WideMsg::StuckNames, L"時間内に名前が分からないハンドルがあります (保持者は分からないことがあります)。"},
};

// Each row at its id's place, and one for every id: a text can neither go missing nor be said for another.
template <typename Row, size_t N, typename Id>
constexpr bool EveryIdInPlace(const Row (&rows)[N], Id count)
{
    for (size_t i = 0; i < N; ++i)
        if (static_cast<size_t>(rows[i].id) != i)
            return false;
    return N == static_cast<size_t>(count);
}
static_assert(EveryIdInPlace(Messages, Msg::Count), "Messages: one row per id, in the ids' order");
static_assert(EveryIdInPlace(WideMessages, WideMsg::Count), "WideMessages: one row per id, in the ids' order");

}  // namespace

const char* MessageText(Msg id) { return Messages[static_cast<size_t>(id)].text; }

const wchar_t* WideMessageText(WideMsg id) { return WideMessages[static_cast<size_t>(id)].text; }

const char DumpUsageText[] =
    u8"使い方: kagero-dump [オプション] [パス]\n"
    u8"\n"
    u8"カーネルのオブジェクト名前空間を、パス (既定は \\) の下から深さ優先で、一行に一項目ずつ書き出します。\n"
    u8"各ディレクトリの項目は名前順 (大文字と小文字を区別しない) に並びます。\n"
    u8"一行は「フルパス<TAB>種類」で、シンボリックリンクには「<TAB>-> リンク先」が続きます。\n"
    u8"パスは \\ で始まります (例: \\Device)。末尾の \\ は一つまで付けられます (\\Device\\ は \\Device)。\n"
    u8"ディレクトリでないオブジェクトのパスには、その項目の一行だけを書きます。\n"
    u8"\n"
    u8"オプション:\n"
    u8"  --json         JSON Lines で書き出す: {\"path\": ..., \"name\": ..., \"type\": ..., \"target\": ...}\n"
    u8"  --find TEXT    名前に TEXT を含む項目だけ。TEXT に * か ? があれば名前全体に合うワイルドカード\n"
    u8"                 (* は任意の並び、? は任意の一文字。例: \"Low*\" は Low で始まる名前)。\n"
    u8"                 大文字と小文字を区別しない。探索はどこまでも続く\n"
    u8"  --find-from FILE  FILE の一行一行の名前に合う項目だけ (何度でも指定できる。- は標準入力)。UTF-8、\n"
    u8"                 空の行と # で始まる行は読まない。一行は名前全体に合う (大文字と小文字を区別しない、\n"
    u8"                 * と ? は --find と同じ): Global\\X, Local\\X, Session\\N\\X はプログラムが渡すとおりの名前\n"
    u8"                 (win32Name)、\\ で始まる行はフルパス、\\\\.\\X はデバイス、それ以外はどこにある名前でも。\n"
    u8"                 --json では合った行を \"matched\" に書く\n"
    u8"  --type NAME    種類が NAME の項目だけ (何度でも指定できる)。NAME は \\ObjectTypes にある種類\n"
    u8"  --depth N      パスから N 階層下まで (0 はパス直下の項目だけ)\n"
    u8"  --details      ハンドル数と参照数、イベント・ミュータント・セマフォ・タイマーの状態、\n"
    u8"                 セクションの大きさ、I/O 完了の待ち数、ジョブのプロセス数、リンクの作成日時も書く\n"
    u8"  --security     所有者 (owner) とセキュリティ記述子 (sddl、ラベルも) も書く。sddl= が空なら記述子がなく、\n"
    u8"                 だれもがすべての権利を持つ。読めなければ securityError に理由\n"
    u8"  --writable-by WHO  WHO が変更できる項目だけを、変更を許す権利 (writable) と理由 (by) とともに書く\n"
    u8"                 (何度でも指定できる。どれかが変更できれば書く)。WHO はアカウント名かグループ名\n"
    u8"                 (Everyone, Users)、SDDL の略号 (WD, BU, AU)、SID (S-1-5-32-545)。ユーザーのアカウントは\n"
    u8"                 対話型ログオンのとおり (ローカルグループ、Everyone, Authenticated Users, INTERACTIVE,\n"
    u8"                 LOCAL, CONSOLE LOGON, Users、整合性 medium。Administrators は拒否のみ)。グループや SID は\n"
    u8"                 その SID と Everyone。システムのアクセスチェックのとおりに評価する (特権は適用しない)。\n"
    u8"                 by=#番号:SID (DACL のエントリー)、owner (所有者の暗黙の権利)、null (NULL DACL)。\n"
    u8"                 数えない種類 (コールバック、オブジェクト、条件付き) のエントリーの数を unevaluated に書く\n"
    u8"                 (0 でなければ答えは足りないかもしれない)。名前にならない SID はそのまま使う。\n"
    u8"                 ドメインや CO, CG, OW は誤り\n"
    u8"  --writable-by-process PROC  実行中のプロセスのトークンのとおりに (何度でも指定できる)。PROC は self\n"
    u8"                 (kagero-dump 自身)、プロセス ID かプログラム名 (--held-by と同じ)\n"
    u8"  --elevated     ユーザーのアカウントを昇格したものとする (Administrators が有効、整合性 high)\n"
    u8"  --integrity L  主体の整合性レベル: untrusted, low, medium, high, system か S-1-16-N\n"
    u8"  --restricted-to WHO  主体を制限付きトークンにする (制限 SID、何度でも指定できる)\n"
    u8"  --write-restricted   制限 SID を書き込みの権利にだけ使う (--restricted-to と一緒に)\n"
    u8"  --appcontainer PKG   主体をパッケージ PKG (SID か名前) の AppContainer にする (整合性 low)\n"
    u8"  --capability CAP     AppContainer のケーパビリティ (internetClient などか SID、何度でも指定できる)\n"
    u8"  --explain      パスの一つのオブジェクトについて、主体ごとに評価の手順を書く\n"
    u8"  --holders      各項目を開いているプロセスも書く: holders=プログラム(PID),... (ハンドルがいくつでも\n"
    u8"                 一つのプロセスは一度、なければ holders= だけ)。--json では \"holders\": [{\"process\": ...,\n"
    u8"                 \"pid\": ..., \"handles\": [{\"handle\": \"0x38\", \"access\": \"0x001F0003\"}]}] (なければ [])。\n"
    u8"                 書き出す前に全プロセスのハンドルを一度だけ調べる。種類が File のハンドルは調べない\n"
    u8"                 (名前がファイルのパスで、パイプへの名前の問い合わせは止まることがある)\n"
    u8"  --held-by PROG PROG が開いている項目だけ (何度でも指定できる。16 個まで。どれかが開いていれば書く)。\n"
    u8"                 PROG はプロセス ID かプログラム名 (大文字と小文字を区別しない。.exe は省ける)\n"
    u8"  --watch        パスの下を見張り、作られた (+) 消えた (-) 項目を「時刻 +/- フルパス<TAB>種類」で書き続ける。\n"
    u8"                 最初の一覧は書かず、終えたら標準エラーに「見張りを始めました」と書く。\n"
    u8"                 Ctrl+C で終わる (終了コード 0)。--json では\n"
    u8"                 {\"event\": \"created\"|\"deleted\", \"time\": UTC, \"path\": ..., ...}。\n"
    u8"                 見張る間、下の項目すべてのパスと種類を覚えておくので、メモリは項目数とともに増える。\n"
    u8"                 一つの間隔より短い間だけあったオブジェクトは見えない。--details は作られた項目に付く。\n"
    u8"                 --holders と --held-by では見直すたびにハンドルを調べ、作られた項目はその時の、\n"
    u8"                 消えた項目は一つ前の見直しの時の保持者で書き、選ぶ (--watch --held-by PROG で\n"
    u8"                 PROG が作るものが分かる)。パスはディレクトリに限る。--security と\n"
    u8"                 --writable-by とは一緒に使えない (終了コード 2)\n"
    u8"  --compare BASE 書き出す代わりに、BASE (同じパスとオプションの kagero-dump --json の出力) と今との\n"
    u8"                 違いを書く: + 行 (できた)、- 行 (なくなった)、~ パス<TAB>フィールド: 前 -> 今 (変わった)。\n"
    u8"                 --json では {\"event\": \"created\"|\"deleted\"|\"changed\", ..., \"was\": {...}}\n"
    u8"  --against NEW  --compare BASE を、今の名前空間ではなく保存した NEW と比べる\n"
    u8"  --interval MS  --watch で見直す間隔 (ミリ秒、既定 1000、100 以上)\n"
    u8"  --version      バージョンを表示する\n"
    u8"  --help, -h, /? この説明を表示する\n"
    u8"値を取るオプションは --depth=0 のようにも書けます。パスはカーネルにある名前で書き出します。\n"
    u8"\n"
    u8"終了コード: 0 成功、1 一覧できないディレクトリがあった (理由は標準エラーへ) か出力先が閉じた、\n"
    u8"            またはハンドルを調べられなかったプロセスがあった (その数と ID は標準エラーへ)、\n"
    u8"            またはトークンを読めなかったプロセスがあった、\n"
    u8"            2 引数の誤り (\\ で始まらないパス、システムにない種類、\n"
    u8"            見つからないアカウント、実行中でないプログラム、意味のない組み合わせを含む)\n"
    u8"--watch では: 0 Ctrl+C で終わった、1 パスが消えたか初めから一覧できない、ハンドルの一覧を読めなかった、\n"
    u8"            または出力先が閉じた\n";
