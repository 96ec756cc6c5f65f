// The click handlers of the form, dispatching on the stage.
#pragma once

namespace corvane {

struct App;

void LBLOK_Click(App& app);
void LBLYES_Click(App& app);
void LBLNO_Click(App& app);
void CBCancel_Click(App& app);
void Form_Terminate(App& app);

}  // namespace corvane
