// Every construct of the script language, compiled with `z1tool script
// compile` and run with `z1tool script run`, against the engine-call lines
// it must print (game.spare(n) prints "game 0  n").
#include <vector>

#include "zstest.h"

namespace {

struct Case {
    const char* what;
    const char* source;
    const char* args;
    const char* expected;
};

class ZsLanguage : public ZsToolTest {
protected:
    void RunAll(const std::vector<Case>& cases) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.what);
            EXPECT_EQ(Run(c.source, c.args), c.expected);
        }
    }
};

}  // namespace

TEST_F(ZsLanguage, ValuesFollowTheMachine) {
    RunAll({
        {"ints wrap, divide toward zero, take the remainder's sign from the left",
         R"(program main on init {
    var a = 7;
    var b = -2;
    game.spare(a + b);
    game.spare(a - b);
    game.spare(a * b);
    game.spare(a / b);
    game.spare(a % b);
    game.spare(-a / 2);
    game.spare(-a % 2);
    var big = 2147483647;
    game.spare(big + 1);
    game.spare(big * 2);
    var min = -2147483648;
    var m1 = -1;
    game.spare(min / m1);
    game.spare(min % m1);
    game.spare(-min);
    game.spare(0x7fffffff + 0xFFFFFFFF);
})",
         "--frames 1",
         "game 0  5\ngame 0  9\ngame 0  -14\ngame 0  -3\ngame 0  1\ngame 0  -3\ngame 0  -1\n"
         "game 0  -2147483648\ngame 0  -2\ngame 0  -2147483648\ngame 0  0\ngame 0  -2147483648\n"
         "game 0  2147483646\nfinished main top=0\n"},
        {"floats in single precision, conversions both ways",
         R"(program main on init {
    var f = 1.5;
    var g = 0.25;
    game.showMessage(text(f + g), 0);
    game.showMessage(text(f * g - 1), 0);
    game.showMessage(text(f / g), 0);
    game.showMessage(text(-f), 0);
    var h = -2.7;
    game.spare(int(h));
    game.spare(int(f * 1e10));
    var n = 3;
    game.showMessage(text(float(n) / 2), 0);
    var s = "  -42xyz";
    game.spare(int(s));
    game.showMessage(text(float(" 2.5") * 2), 0);
    game.showMessage(text(12), 0);
    var zero = 0.0;
    game.showMessage(text(1.0 / zero), 0);
    var big = 16777216.0;
    game.spare(int(big + 1.0));
})",
         "--frames 1",
         "game 1 1.750000 0\ngame 1 -0.625000 0\ngame 1 6.000000 0\ngame 1 -1.500000 0\ngame 0  -2\n"
         "game 0  2147483647\ngame 1 1.500000 0\ngame 0  -42\ngame 1 5.000000 0\ngame 1 12 0\n"
         "game 1 inf 0\ngame 0  16777216\nfinished main top=0\n"},
        {"texts join (numbers printed into them) and compare; the null text is empty",
         R"(program main on init {
    var name = "Tom";
    var none: text;
    game.showMessage("Hello " + name + ", " + 3 + " apples at " + 0.5, 2);
    game.showMessage(none + "x", 1);
    game.spare(none == "");
    game.spare(name != "Tom");
    game.spare(name + "!" == "Tom!");
    game.showMessage("\x41\t\"q\"\\", 0);
})",
         "--frames 1",
         "game 1 Hello Tom, 3 apples at 0.500000 2\ngame 1 x 1\ngame 0  1\ngame 0  0\ngame 0  1\n"
         "game 1 A\t\"q\"\\ 0\nfinished main top=0\n"},
        {"vectors: arithmetic, components, assignment",
         R"(program main on init {
    var a = vec(1, 2, 3);
    var b = vec(0.5, 0.5, 0.5);
    world.move("v", a + b);
    world.move("v", a - b * 2);
    world.move("v", -a / 2);
    a.y = 10;
    a.x += 1;
    world.rotate("v", a);
    a = vec(a.y, a.x, 0);
    world.rotate("v", a);
    var c: vector;
    a += c + b;
    world.move("v", a);
    game.spare(int((a + b).z * 10));
})",
         "--frames 1",
         "worldvec 2 v 1.5 2.5 3.5\nworldvec 2 v 0 1 2\nworldvec 2 v -0.5 -1 -1.5\nworldvec 1 v 2 10 3\n"
         "worldvec 1 v 10 2 0\nworldvec 2 v 10.5 2.5 0.5\ngame 0  10\nfinished main top=0\n"},
        {"constants, literals and random numbers",
         R"(const GREETING = "Hi";
const COUNT = 2 + 3 * 4;
const UP = vec(0, 250, 0);
program main on init {
    const LOCAL = COUNT * 2;
    game.spare(LOCAL);
    game.spare(random(1));
    game.spare(random(7, 8));
    var r = random(10);
    game.spare(r >= 0 && r < 10);
    game.showMessage(GREETING + "!", 0);
    world.move("up", UP);
    game.spare(0x10);
    game.spare(-2147483648);
    game.spare(true + false);
})",
         "--frames 1",
         "game 0  28\ngame 0  0\ngame 0  7\ngame 0  1\ngame 1 Hi! 0\nworldvec 2 up 0 250 0\ngame 0  16\n"
         "game 0  -2147483648\ngame 0  1\nfinished main top=0\n"},
    });
}

TEST_F(ZsLanguage, ControlFlowAndFunctions) {
    RunAll({
        {"comparisons give 1 or 0; && and || stop early",
         R"(function hit(v: int): int {
    game.spare(v);
    return v;
}
program main on init {
    var a = -5;
    var b = 3;
    game.spare(a < b);
    game.spare(a > b);
    game.spare(a <= -5);
    game.spare(b >= 4);
    game.spare(a == -5);
    game.spare(a != b);
    var nz = -0.0;
    var z = 0.0;
    game.spare(nz == z);
    game.spare(nz < z);
    game.spare(nz >= z);
    game.spare(1.5 > z);
    game.spare(!b);
    if (hit(0) && hit(1)) { game.spare(9); }
    if (hit(2) || hit(3)) { game.spare(9); }
    game.spare(hit(4) && !hit(0));
})",
         "--frames 1",
         "game 0  1\ngame 0  0\ngame 0  1\ngame 0  0\ngame 0  1\ngame 0  1\ngame 0  1\ngame 0  0\n"
         "game 0  1\ngame 0  1\ngame 0  0\ngame 0  0\ngame 0  2\ngame 0  9\ngame 0  4\ngame 0  0\n"
         "game 0  1\nfinished main top=0\n"},
        {"if, else, while, for, break and continue",
         R"(program main on init {
    for (var i = 0; i < 10; i++) {
        if (i == 2) { continue; }
        if (i == 5) { break; }
        game.spare(i);
    }
    var n = 0;
    while (true) {
        n += 3;
        if (n > 10) break;
    }
    game.spare(n);
    var k = 3;
    while (k > 0) k--;
    game.spare(k);
    for (var j = 0; j < 3; j++) {
        if (j == 0) game.spare(100);
        else if (j == 1) game.spare(101);
        else game.spare(102);
    }
    var m = 0;
    for (;;) {
        m++;
        if (m == 4) break;
    }
    game.spare(m);
    while (false) { game.spare(-1); }
})",
         "--frames 1",
         "game 0  0\ngame 0  1\ngame 0  3\ngame 0  4\ngame 0  12\ngame 0  0\ngame 0  100\ngame 0  101\n"
         "game 0  102\ngame 0  4\nfinished main top=0\n"},
        {"functions: parameters of every kind, locals, results, recursion, later declarations",
         R"(function fact(n: int): int {
    if (n <= 1) { return 1; }
    return n * fact(n - 1);
}
function lengthSquared(v: vector): float {
    return v.x * v.x + v.y * v.y + v.z * v.z;
}
function greet(who: text) {
    if (who == "") { return; }
    var line = "Hello " + who;
    game.showMessage(line, 1);
}
function mix(a: int, b: float, c: text): text {
    var sum = float(a) + b;
    return c + sum;
}
program main on init {
    game.spare(fact(10));
    game.showMessage(text(lengthSquared(vec(1, 2, 2))), 0);
    greet("");
    greet("Ann");
    game.showMessage(mix(2, 0.5, "="), 0);
    game.spare(later(5));
}
function later(x: int): int { return x * 2; }
)",
         "--frames 1",
         "game 0  3628800\ngame 1 9.000000 0\ngame 1 Hello Ann 1\ngame 1 =2.500000 0\ngame 0  10\n"
         "finished main top=0\n"},
        {"a program's return leaves its value on top",
         R"(program main on init {
    var x = 5;
    if (x > 3) { return x * 2; }
    game.spare(1);
})",
         "--frames 1", "finished main top=10\n"},
    });
}

TEST_F(ZsLanguage, ProgramsTriggersAndTime) {
    const char* sleeper = R"(program main on init {
    game.spare(1);
    sleep(100);
    game.spare(2);
})";
    const char* triggers = R"(program boot on init { game.spare(startName() == ""); }
program doors on click("door*") { world.trigger(startName()); }
program traps on collision("trap*") { game.showMessage("ouch " + startName(), 1); }
program coins on pickup("coin") { game.addItem(startName()); }
program "lever*" sync {
    game.setQuestFlag(startName());
    sleep(100);
}
program quiet on never { game.spare(7); })";
    RunAll({
        {"sleep: not yet at 96 ms", sleeper, "--frames 7 --ms-per-frame 16", "game 0  1\n"},
        {"sleep: on again at 112 ms", sleeper, "--frames 8 --ms-per-frame 16",
         "game 0  1\ngame 0  2\nfinished main top=0\n"},
        {"wait until started again by the same name",
         R"(program greeter {
    game.showMessage("hello " + startName(), 1);
    wait();
    game.showMessage("again " + startName(), 1);
})",
         "--start greeter@1 --start greeter@3 --frames 5",
         "game 1 hello greeter 1\ngame 1 again greeter 1\nfinished greeter top=0\n"},
        {"init, click, collision and pickup patterns, never, start by name, sync", triggers,
         "--fire click:door3@1 --fire collision:door3@1 --fire collision:trap9@2 --fire pickup:coin@3 "
         "--fire pickup:coins@3 --start lever1@4 --start lever2@4 --fire click:quiet@5 --start quiet@6 "
         "--frames 7",
         "game 0  1\nfinished boot top=0\nworld 4 door3 0\nfinished doors top=0\ngame 1 ouch trap9 1\n"
         "finished traps top=0\ngame 5 coin 0\nfinished coins top=0\n"
         "log: cannot start new program because template is locked\ngame 6 lever1 0\n"
         "game 0  7\nfinished quiet top=0\n"},
        {"every engine call",
         R"(program main on init {
    world.trigger("a");
    world.unlock("b");
    world.rotate("c", vec(1, 2, 3));
    world.move("d", vec(4, 5, 6));
    game.spare(9);
    game.showMessage("m", 3);
    game.loadScene("x.z1a");
    game.collisionOn(1);
    game.movementSpeed(600);
    game.addItem("key");
    game.setQuestFlag("f");
    game.moveCamera(vec(1, 0, -1));
})",
         "--frames 1",
         "world 4 a 0\nworld 5 b 0\nworldvec 1 c 1 2 3\nworldvec 2 d 4 5 6\ngame 0  9\ngame 1 m 3\n"
         "game 2 x.z1a 0\ngame 3  1\ngame 4  600\ngame 5 key 0\ngame 6 f 0\ngamevec 0  1 0 -1\n"
         "finished main top=0\n"},
    });
}
