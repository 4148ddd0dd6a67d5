// The tool's dispatcher: the command named first runs with the rest of the command line;
// the usage for a command line it cannot run.
#include "tool/Ornwick.h"

#include "tool/Commands.h"

#include "base/ErrorReporting.h"

#include <ostream>

namespace {

const char Usage[] =
    "usage: ornwick COMMAND ARGS...\n"
    "  (LOG N: round N of the log, its place in the round list that rounds prints, 0 first)\n"
    "  tokens LOG         the parser's token list, one token per line\n"
    "  tree LOG           every node of the tree as JSON, document order\n"
    "  select LOG PATH    the node a path selects as JSON (exit 3 when none)\n"
    "  convert LOG.zxml   write the inflated log beside it as .xml\n"
    "  rounds LOG         the round list of the log, one item per line\n"
    "  roster LOG         every stay of a player in the log as JSON\n"
    "  events LOG N       the event records of the round of list item N as JSON\n"
    "  objects MAP [--home DIR] [--scale N] [--correctiony N] [--left N] [--top N]\n"
    "                     the map's objects as placed on its picture, then the missing pictures\n"
    "  replay LOG N [--home DIR] [--ticks K] [--no-animate] [--loop] [--scale S]\n"
    "         [--correctiony C] [--left L] [--top T]\n"
    "         [--seek SECONDS] [--next-kill] [--previous-kill]\n"
    "                     replays round N without drawing, tick after tick, until it\n"
    "                     ends or K ticks have run; then the clock, the player states,\n"
    "                     the scoreboard, the map objects and the score log as JSON.\n"
    "                     Seeks and kill steps run in their order after the selection,\n"
    "                     and K more ticks after them; \"ticks\" counts every tick since\n"
    "                     the selection (or the loop's last restart) that the state stands\n"
    "                     for. --loop restarts the round after its 100th event: it needs K\n"
    "  render LOG N --at SECONDS --out MAP.png [--minimap MINI.png] [--zoom Z]\n"
    "         [--fit-window WxH] [--view WxH] [--home DIR] [--track KEY] [--scale S]\n"
    "         [--correctiony C] [--left L] [--top T] [--hide objects,flags,lines] [--killinfo]\n"
    "         [--trails SECONDS] [--deathmap] [--killfeed]\n"
    "                     replays round N until the clock reaches SECONDS, draws one\n"
    "                     frame and writes the whole zoomed map (and the minimap) as PNG,\n"
    "                     or as JPEG when the name ends in .jpg or .jpeg; --fit-window\n"
    "                     zooms as \"Fit map to window\" does for a view of W x H pixels\n"
    "                     (instead of --zoom); --view writes, instead of the whole zoomed\n"
    "                     map, what a map view of W x H pixels shows after the selection\n"
    "                     (its zoom and scroll); the trails of the last SECONDS (1 to 60),\n"
    "                     the death map and the kill feed are drawn only when asked\n"
    "  stats LOG N [--home DIR]\n"
    "                     the server's statistics of round N as JSON: one object for the\n"
    "                     round, then one per player in the server's order, with the\n"
    "                     replay's own counts of the player\n"
    "  video LOG N --out FILE.mp4 [--from S] [--to S] [--speed X] [--fps F] [--size PX]\n"
    "         [--zoom Z] [--track KEY] [--home DIR] [--trails S] [--deathmap] [--killfeed]\n"
    "                     writes round N, or its span between the log times S, as an H.264\n"
    "                     video at X times real time (10), F frames a second (30), a square\n"
    "                     of PX pixels or the whole zoomed map, with the overlays asked for;\n"
    "                     KEY: a player kept in the middle. The progress goes to standard\n"
    "                     error. ORNWICK_H264_ENCODER names an encoder other than libx264\n"
    "  calibrate MAP [--home DIR] --ref X,Z=PX,PY [--ref ...] [--picture-height H] [--save]\n"
    "                     the calibration that puts each world position X,Z at its map pixel\n"
    "                     PX,PY, with each pair's error in pixels, as JSON; the picture's\n"
    "                     height from MAP's picture or H; --save stores it for MAP in Tarvel.ini\n"
    "                     as the Admin page's Save does\n"
    "  fit LOG N [--home DIR]\n"
    "                     the calibration that puts every place of round N on its map picture\n"
    "  import-map SOURCE [--home DIR] [--map NAME] [--mod MOD] [--mode GAMETYPE]\n"
    "         [--picture terrain|overview]\n"
    "                     makes a map from the game's own files: SOURCE is a level folder, a\n"
    "                     level archive (.rfa), or a game folder with --map (and --mod, bf1942\n"
    "                     when not given); writes the map's picture (the terrain tiles, or the\n"
    "                     game's overview map; the other when the level lacks the one, the\n"
    "                     world's grid when it has neither: \"pictureKind\" says which) and\n"
    "                     object file (GAMETYPE: GPM_CQ, GPM_CTF, GPM_TDM, GPM_COOP or the\n"
    "                     folder name; Conquest when not given) into images/ and its\n"
    "                     calibration into Tarvel.ini, and prints what it wrote as JSON;\n"
    "                     nothing is written when it fails (exit 2)\n"
    "  library scan DIR... [--readers N] [--db FILE|URL] [--home DIR]\n"
    "                     indexes the logs of the folders and their subfolders into the match\n"
    "                     library (new and changed files; unchanged ones skipped, vanished ones\n"
    "                     marked missing) and prints a summary as JSON; the library is FILE, or\n"
    "                     the PostgreSQL database of a postgresql:// URL, or library.sqlite in\n"
    "                     DIR, or else the user's in their configuration folder; N logs are\n"
    "                     read at once (one per core, at most 2, unless given)\n"
    "  library rounds [--map M] [--player NAME] [--mod MOD] [--since YYYY-MM-DD]\n"
    "         [--until YYYY-MM-DD] [--db FILE|URL] [--home DIR]\n"
    "                     the library's rounds as JSON, one per line, oldest first\n"
    "  library player NAME [--db FILE|URL] [--home DIR]\n"
    "                     a player's page as JSON: names, key hash, rounds, score, kills,\n"
    "                     deaths, team kills and kills by kit, vehicle and weapon (exit 3 when\n"
    "                     the library has no such player)\n"
    "  library heatmap MAP --out FILE.png [--kind deaths|kills] [--team N] [--weapon W]\n"
    "         [--player NAME] [--db FILE|URL] [--home DIR]\n"
    "                     draws where the library's players died (or killed) on MAP's picture\n"
    "  widgets [--home DIR]  the main window's controls as JSON, then its menu items\n"
    "  about [--home DIR]    the About window's controls as JSON, logo loaded\n"
    "                     DIR stands in for the program's folder (Tarvel.ini, Tarvel.map,\n"
    "                     images/); without it, the folder of Tarvel beside this tool\n"
    "  (MAP and NAME: a map's name; typed in UTF-8 it is the log's 8-bit (Latin-1) name, and\n"
    "  its files are named by the name in UTF-8)\n";

} // namespace

int RunTool(int argc, char** argv, std::ostream& out, std::ostream& err, const std::map<std::string, TCommand>& more)
{
    std::map<std::string, TCommand> commands = {
        {"tokens", Tokens}, {"tree", Tree},       {"select", Select},   {"convert", Convert},
        {"rounds", Rounds}, {"roster", Roster},   {"events", Events},   {"objects", Objects},
        {"replay", Replay}, {"render", Render},   {"video", Video},     {"stats", Stats},
        {"calibrate", CalibrateMap}, {"fit", FitRound}, {"import-map", ImportMapCommand}, {"library", Library}};
    commands.insert(more.begin(), more.end());
    if (argc < 2 || !commands.count(argv[1])) {
        err << Usage;
        return 2;
    }
    TContext context{std::vector<std::string>(argv + 2, argv + argc), out, err};
    try {
        return commands.at(argv[1])(context);
    } catch (const TUsageError& usage) {
        out.flush();
        if (usage.message.empty())
            err << Usage;
        else
            err << "ornwick: " << usage.message << '\n';
        return 2;
    } catch (...) {
        // What was printed stays printed; the message stands alone after it.
        out.flush();
        err << CurrentExceptionMessage() << '\n';
        return 1;
    }
}
