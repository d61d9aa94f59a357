#pragma once

// Counts the login window's one-second ticks while a manual login runs and
// says when to give up on it: on the 61st tick in a row, about a minute
// after the click.
class LoginWatchdog {
public:
    enum class Step { Stop, Wait, GiveUp };
    static constexpr int kPatienceTicks = 60;

    Step Tick(bool busy)
    {
        if (!busy) {
            ticks_ = 0;
            return Step::Stop;
        }
        if (ticks_ < kPatienceTicks) {
            ++ticks_;
            return Step::Wait;
        }
        ticks_ = 0;
        return Step::GiveUp;
    }

private:
    int ticks_ = 0;
};
