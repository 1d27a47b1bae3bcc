#include "DumpOptions.h"

#include <climits>
#include <cwchar>

#include "AccessSubject.h"

namespace {

bool Is(const wchar_t* argument, const wchar_t* option) { return lstrcmpW(argument, option) == 0; }

ParseResult Bad(ArgumentError* error, const char* message, const wchar_t* argument)
{
    error->message = message;
    error->argument = argument;
    return ParseResult::Bad;
}

// A depth is decimal digits only; a number larger than an int holds means
// no limit in practice, so it saturates.
bool ParseDepth(const wchar_t* text, int* depth)
{
    if (!*text)
        return false;
    long long value = 0;
    for (const wchar_t* at = text; *at; ++at) {
        if (*at < L'0' || *at > L'9')
            return false;
        value = value * 10 + (*at - L'0');
        if (value > INT_MAX)
            value = INT_MAX;
    }
    *depth = static_cast<int>(value);
    return true;
}

// An interval is decimal milliseconds, at least the minimum; larger than an
// int holds saturates, as a depth does.
bool ParseInterval(const wchar_t* text, int* interval)
{
    return ParseDepth(text, interval) && *interval >= MinimumWatchIntervalMs;
}

// --writable-by's account resolved now, so that a name the system does not know is a command-line error;
// --writable-by-process's process is found when the dump starts.
ParseResult TakeSubject(const wchar_t* option, const wchar_t* value, DumpOptions* options, ArgumentError* error)
{
    if (options->subjectCount >= MaximumWritableBy)
        return Bad(error, u8"--writable-by と --writable-by-process は合わせて 16 個まで指定できます: ", value);
    SubjectRequest& request = options->subjects[options->subjectCount++];
    request.text = value;
    request.process = Is(option, L"--writable-by-process");
    if (request.process)
        return value[0] ? ParseResult::Run : Bad(error, u8"--writable-by-process の値が空です", value);
    const char* why = "";
    SID_NAME_USE use = SidTypeUnknown;
    if (!ResolveAccount(value, request.sid, &why, &use))
        return Bad(error, why, value);
    request.user = use == SidTypeUser;
    return ParseResult::Run;
}

static_assert(MaximumRestrictingSids == 16 && MaximumCapabilities == 16, "the messages say 16");

// A SID into one of a fixed number of slots.
ParseResult TakeSid(const wchar_t* value, bool resolved, const BYTE* sid, BYTE (*slots)[AccountSidBytes], int* count,
                    const char* full, const char* unknown, ArgumentError* error)
{
    if (!resolved)
        return Bad(error, unknown, value);
    if (*count >= 16)
        return Bad(error, full, value);
    CopyMemory(slots[(*count)++], sid, AccountSidBytes);
    return ParseResult::Run;
}

// What makes every subject a sandbox: its level, restricting SIDs, package and capabilities.
ParseResult TakeModifier(const wchar_t* option, const wchar_t* value, SubjectModifiers* modifiers, ArgumentError* error)
{
    BYTE sid[AccountSidBytes] = {};
    if (Is(option, L"--integrity")) {
        modifiers->integritySet = ParseIntegrityLevel(value, &modifiers->integrity);
        return modifiers->integritySet
                   ? ParseResult::Run
                   : Bad(error, u8"整合性レベルは untrusted, low, medium, high, system か S-1-16-N です: ", value);
    }
    if (Is(option, L"--restricted-to")) {
        const char* why = u8"--restricted-to の値が空です";
        const bool resolved = value[0] && ResolveAccount(value, sid, &why);
        return TakeSid(value, resolved, sid, modifiers->restrictedTo, &modifiers->restrictedCount,
                       u8"--restricted-to は 16 個まで指定できます: ", why, error);
    }
    if (Is(option, L"--capability"))
        return TakeSid(value, ResolveCapability(value, sid), sid, modifiers->capabilities, &modifiers->capabilityCount,
                       u8"--capability は 16 個まで指定できます: ", u8"ケーパビリティではありません: ", error);
    // --appcontainer
    switch (ResolvePackage(value, modifiers->package)) {
    case 0:
        modifiers->appContainer = true;
        return ParseResult::Run;
    case ERROR_NOT_SUPPORTED:
        return Bad(error, u8"このシステムではパッケージ名から SID を求められません (SID で指定してください): ", value);
    default:
        return Bad(error, u8"AppContainer のパッケージではありません: ", value);
    }
}

// One option with its value: Run, or Bad with the error set.
ParseResult TakeValue(const wchar_t* option, const wchar_t* value, DumpOptions* options, ArgumentError* error)
{
    if (Is(option, L"--depth"))
        return ParseDepth(value, &options->maxDepth)
                   ? ParseResult::Run
                   : Bad(error, u8"--depth には 0 以上の整数を指定してください: ", value);
    if (Is(option, L"--interval"))
        return ParseInterval(value, &options->intervalMs)
                   ? ParseResult::Run
                   : Bad(error, u8"--interval には 100 以上のミリ秒数を指定してください: ", value);
    if (Is(option, L"--type")) {
        if (options->typeCount >= MaximumTypeFilters)
            return Bad(error, u8"--type は 64 個まで指定できます: ", value);
        options->types[options->typeCount++] = value;
        return ParseResult::Run;
    }
    if (Is(option, L"--held-by")) {
        if (options->heldByCount >= MaximumHeldBy)
            return Bad(error, u8"--held-by は 16 個まで指定できます: ", value);
        options->heldBy[options->heldByCount++] = value;
        return ParseResult::Run;
    }
    if (Is(option, L"--writable-by") || Is(option, L"--writable-by-process"))
        return TakeSubject(option, value, options, error);
    if (Is(option, L"--find"))
        return options->find.Set(value) ? ParseResult::Run : Bad(error, u8"メモリが足りません: ", value);
    return TakeModifier(option, value, &options->modifiers, error);
}

// A PATH the kernel would refuse with a bare status is a command-line error
// here, in words.
ParseResult SetPath(const wchar_t* argument, DumpOptions* options, ArgumentError* error)
{
    switch (CheckPathSyntax(argument)) {
    case PathSyntax::NoLeadingSeparator:
        return Bad(error, u8"パスは \\ で始めてください: ", argument);
    case PathSyntax::DoubledSeparator:
        return Bad(error, u8"パスに \\ が二つ続いています: ", argument);
    case PathSyntax::Good:
        break;
    }
    size_t length = static_cast<size_t>(lstrlenW(argument));
    if (length > 1 && argument[length - 1] == L'\\')
        --length;
    return options->path.Assign(argument, length) ? ParseResult::Run : Bad(error, u8"メモリが足りません: ", argument);
}

bool IsHelp(const wchar_t* argument)
{
    // Windows users ask with "/?" first.
    return Is(argument, L"--help") || Is(argument, L"-h") || Is(argument, L"/?");
}

bool TakesValue(const wchar_t* argument)
{
    static const wchar_t* const taking[] = {L"--find",        L"--type",       L"--depth",
                                            L"--writable-by", L"--interval",   L"--held-by",
                                            L"--writable-by-process", L"--integrity", L"--restricted-to",
                                            L"--appcontainer", L"--capability"};
    for (const wchar_t* option : taking)
        if (Is(argument, option))
            return true;
    return false;
}

// Meaningless combinations of the subjects' options, in words; Run when there is none.
ParseResult CheckSubjects(const DumpOptions& options, ArgumentError* error)
{
    const SubjectModifiers& modifiers = options.modifiers;
    bool account = false;
    for (int i = 0; i < options.subjectCount; ++i)
        account = account || options.subjects[i].user;
    const bool modified = modifiers.elevated || modifiers.integritySet || modifiers.restrictedCount > 0 ||
                          modifiers.writeRestricted || modifiers.appContainer || modifiers.capabilityCount > 0;
    if (options.subjectCount == 0 && (modified || options.explain))
        return Bad(error, u8"--writable-by か --writable-by-process で主体を指定してください: ",
                   options.explain ? L"--explain" : L"--integrity, --restricted-to, --appcontainer ...");
    if (modifiers.elevated && !account)
        return Bad(error, u8"--elevated はユーザーのアカウントの --writable-by に使います: ", L"--elevated");
    if (modifiers.capabilityCount > 0 && !modifiers.appContainer)
        return Bad(error, u8"--capability は --appcontainer と一緒に使います: ", L"--capability");
    if (modifiers.writeRestricted && modifiers.restrictedCount == 0)
        return Bad(error, u8"--write-restricted は --restricted-to と一緒に使います: ", L"--write-restricted");
    if (options.explain && (options.path.Empty() || options.watch))
        return Bad(error, options.watch ? u8"--watch とは一緒に使えません: " : u8"--explain には一つのオブジェクトのパスが要ります: ",
                   L"--explain");
    return ParseResult::Run;
}

}  // namespace

ParseResult ParseDumpArguments(int argc, wchar_t** argv, DumpOptions* options, ArgumentError* error)
{
    bool pathGiven = false;
    const wchar_t* interval = nullptr;
    for (int i = 1; i < argc; ++i) {
        const wchar_t* argument = argv[i];
        // --name=value as --name value; a name longer than any option's is no option.
        const wchar_t* equals = argument[0] == L'-' && argument[1] == L'-' ? wcschr(argument, L'=') : nullptr;
        wchar_t name[32] = L"";
        if (equals && equals - argument < 32)
            lstrcpynW(name, argument, static_cast<int>(equals - argument) + 1);
        if (equals && TakesValue(name)) {
            interval = Is(name, L"--interval") ? equals + 1 : interval;
            const ParseResult taken = TakeValue(name, equals + 1, options, error);
            if (taken != ParseResult::Run)
                return taken;
            continue;
        }
        if (IsHelp(argument))
            return ParseResult::Help;
        if (Is(argument, L"--version"))
            return ParseResult::Version;
        if (Is(argument, L"--json")) {
            options->json = true;
        } else if (Is(argument, L"--details")) {
            options->details = true;
        } else if (Is(argument, L"--security")) {
            options->security = true;
        } else if (Is(argument, L"--watch")) {
            options->watch = true;
        } else if (Is(argument, L"--holders")) {
            options->holders = true;
        } else if (Is(argument, L"--explain")) {
            options->explain = true;
        } else if (Is(argument, L"--elevated")) {
            options->modifiers.elevated = true;
        } else if (Is(argument, L"--write-restricted")) {
            options->modifiers.writeRestricted = true;
        } else if (TakesValue(argument)) {
            if (i + 1 >= argc)
                return Bad(error, u8"値がありません: ", argument);
            interval = Is(argument, L"--interval") ? argv[i + 1] : interval;
            const ParseResult taken = TakeValue(argument, argv[++i], options, error);
            if (taken != ParseResult::Run)
                return taken;
        } else if (argument[0] == L'-') {
            return Bad(error, u8"不明なオプションです: ", argument);
        } else if (pathGiven) {
            return Bad(error, u8"パスは一つだけ指定できます: ", argument);
        } else {
            const ParseResult taken = SetPath(argument, options, error);
            if (taken != ParseResult::Run)
                return taken;
            pathGiven = true;
        }
    }
    // A watch reports what appears and goes, not who may change it.
    if (options->watch && (options->security || options->subjectCount > 0))
        return Bad(error, u8"--watch とは一緒に使えません: ",
                   options->security ? L"--security"
                   : options->subjects[0].process ? L"--writable-by-process" : L"--writable-by");
    if (interval && !options->watch)
        return Bad(error, u8"--interval は --watch の見直す間隔です: ", interval);
    return CheckSubjects(*options, error);
}

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
    u8"                 最初の一覧は書かない。Ctrl+C で終わる (終了コード 0)。--json では\n"
    u8"                 {\"event\": \"created\"|\"deleted\", \"time\": UTC, \"path\": ..., ...}。\n"
    u8"                 見張る間、下の項目すべてのパスと種類を覚えておくので、メモリは項目数とともに増える。\n"
    u8"                 一つの間隔より短い間だけあったオブジェクトは見えない。--details は作られた項目に付く。\n"
    u8"                 --holders と --held-by では見直すたびにハンドルを調べ、作られた項目はその時の、\n"
    u8"                 消えた項目は一つ前の見直しの時の保持者で書き、選ぶ (--watch --held-by PROG で\n"
    u8"                 PROG が作るものが分かる)。パスはディレクトリに限る。--security と\n"
    u8"                 --writable-by とは一緒に使えない (終了コード 2)\n"
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
