// The register's pages: the templates the web server fills (every value HTML-escaped: no
// triple braces but for the layout's body, itself rendered from a template) and the one style
// sheet, served as a file so that no page carries style or script of its own.
#pragma once

namespace corvane {

inline constexpr const char* kLayoutPage = R"(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>{{title}} · Corvane register</title>
<link rel="stylesheet" href="/style.css">
</head>
<body>
<header>
<nav><a href="/">Machines</a> <a href="/conflicts">Conflicts</a>{{#may_add}} <a href="/add">Add reports</a>{{/may_add}}</nav>
{{#signed_in}}<form class="search" method="get" action="/"><input type="search" name="q" value="{{q}}" placeholder="disk, volume, computer, product id, user" aria-label="Search the machines"> <button type="submit">Search</button></form>
{{#user}}<form class="logout" method="post" action="/logout"><input type="hidden" name="csrf" value="{{csrf}}"><button type="submit">Log out {{user}}</button></form>{{/user}}{{/signed_in}}
</header>
<main>
{{{body}}}
</main>
<footer>{{register}} · corvane {{version}}</footer>
</body>
</html>
)";

inline constexpr const char* kMachinesPage = R"(<h1>Machines</h1>
<p class="summary">{{summary}}</p>
{{#any}}<div class="table"><table>
<thead><tr><th>Machine</th><th>Disk identifier</th><th>Volume serial</th><th>Computer name</th><th>Product id</th><th>User name</th><th>Last report</th><th>Reports</th><th>Flags</th></tr></thead>
<tbody>
{{#machines}}<tr><td><a href="/machines/{{machine}}">{{machine}}</a></td><td>{{disk_identifier}}</td><td>{{volume_serial}}</td><td>{{computer_name}}</td><td>{{product_id}}</td><td>{{user_name}}</td><td>{{last_report}}</td><td>{{reports}}</td><td>{{#flags}}<span class="flag">{{.}}</span> {{/flags}}</td></tr>
{{/machines}}</tbody>
</table></div>{{/any}}
<nav class="pages">{{#newer}}<a rel="prev" href="{{newer}}">Newer</a>{{/newer}} <span>{{page_text}}</span> {{#older}}<a rel="next" href="{{older}}">Older</a>{{/older}}</nav>
)";

inline constexpr const char* kMachinePage = R"(<h1>Machine {{machine.machine}}</h1>
{{#machine}}<dl class="values">
<dt>Disk identifier</dt><dd>{{disk_identifier}}</dd>
<dt>Volume serial</dt><dd>{{volume_serial}}</dd>
<dt>Computer name</dt><dd>{{computer_name}}</dd>
<dt>Product id</dt><dd>{{product_id}}</dd>
<dt>User name</dt><dd>{{user_name}}</dd>
<dt>First report</dt><dd>{{first_report}}</dd>
<dt>Last report</dt><dd>{{last_report}}</dd>
<dt>Flags</dt><dd>{{#flags}}<span class="flag">{{.}}</span> {{/flags}}{{^flags}}none{{/flags}}</dd>
</dl>{{/machine}}
<h2>History</h2>
<ol class="history">
{{#reports}}<li><p><span class="date">{{report_date}}{{^report_date}}(no date){{/report_date}}</span> <strong class="said">{{said}}</strong></p>
<p class="values">{{disk_identifier}} | {{volume_serial}} | {{computer_name}} | {{product_id}} | {{user_name}}</p>
<p class="source">{{#source}}from {{path}}{{#message_id}}, message &lt;{{message_id}}&gt;{{/message_id}}{{#from}} from {{from}}{{/from}}{{#attachment}}, {{attachment}}{{/attachment}}{{/source}}; added {{added_at}}</p></li>
{{/reports}}</ol>
)";

inline constexpr const char* kConflictsPage = R"(<h1>Conflicts</h1>
{{^any}}<p class="summary">No conflicts.</p>{{/any}}
{{#has_disks}}<h2>Disks under several machines</h2><p class="note">A moved disk or a cloned image.</p><ul class="conflicts">
{{#disks}}<li>disk <strong>{{disk_identifier}}</strong> under machines {{#machines}}<a href="/machines/{{.}}">{{.}}</a> {{/machines}}</li>
{{/disks}}</ul>{{/has_disks}}
{{#has_products}}<h2>Product ids across machines</h2><ul class="conflicts">
{{#product_ids}}<li>product id <strong>{{product_id}}</strong> across machines {{#machines}}<a href="/machines/{{.}}">{{.}}</a> {{/machines}}</li>
{{/product_ids}}</ul>{{/has_products}}
{{#has_held}}<h2>Reports held as conflicts</h2><ul class="conflicts">
{{#held_reports}}<li>{{#source}}{{path}}{{#message_id}} &lt;{{message_id}}&gt;{{/message_id}}{{/source}} ({{disk_identifier}} | {{volume_serial}} | {{computer_name}} | {{product_id}} | {{user_name}}) would join machines {{#machines}}<a href="/machines/{{.}}">{{.}}</a> {{/machines}}</li>
{{/held_reports}}</ul>{{/has_held}}
)";

inline constexpr const char* kAddPage = R"(<h1>Add reports</h1>
{{#may_add}}<form class="upload" method="post" action="/add" enctype="multipart/form-data">
<input type="hidden" name="csrf" value="{{csrf}}">
<p><label for="files">Machine-information files (.kik), messages (.eml) or mbox files</label></p>
<p><input id="files" type="file" name="files" multiple required></p>
<p><button type="submit">Add</button></p>
</form>{{/may_add}}
{{^may_add}}<p class="summary">Your account may look at the register but not add to it.</p>{{/may_add}}
{{#result}}<h2>Added</h2>
<p class="summary">{{summary}}</p>
<div class="table"><table class="verdicts">
<thead><tr><th>Report</th><th>Verdict</th></tr></thead>
<tbody>
{{#reports}}<tr class="{{verdict}}{{^verdict}}failed{{/verdict}}"><td>{{path}}{{#message_id}} &lt;{{message_id}}&gt;{{/message_id}}{{#attachment}}, {{attachment}}{{/attachment}}</td><td>{{said}}</td></tr>
{{/reports}}</tbody>
</table></div>{{/result}}
)";

inline constexpr const char* kLoginPage = R"(<h1>Log in</h1>
{{#failed}}<p class="error">{{failed}}</p>{{/failed}}
<form class="login" method="post" action="/login">
<p><label for="user">User</label><br><input id="user" name="user" autocomplete="username" required></p>
<p><label for="password">Password</label><br><input id="password" name="password" type="password" autocomplete="current-password" required></p>
<p><button type="submit">Log in</button></p>
</form>
)";

inline constexpr const char* kErrorPage = R"(<h1>{{heading}}</h1>
<p class="error">{{message}}</p>
)";

inline constexpr const char* kStyleSheet = R"(:root { color-scheme: light dark; }
body { font-family: system-ui, sans-serif; margin: 0; line-height: 1.4; }
header { display: flex; flex-wrap: wrap; gap: .5em 1.5em; align-items: center;
  padding: .6em 1em; background: #1f3a5a; color: #fff; }
header a { color: #fff; margin-right: 1em; font-weight: 600; }
header form { margin: 0; }
header input[type=search] { width: 18em; max-width: 60vw; }
main { padding: 1em; max-width: 80em; }
footer { padding: 1em; color: #777; font-size: .85em; }
.table { overflow-x: auto; }
table { border-collapse: collapse; width: 100%; }
th, td { text-align: left; padding: .3em .6em; border-bottom: 1px solid #ccc;
  vertical-align: top; }
td { overflow-wrap: anywhere; }
.flag { display: inline-block; padding: 0 .4em; border-radius: .3em; background: #f3d9a4;
  color: #000; font-size: .85em; }
dl.values { display: grid; grid-template-columns: max-content 1fr; gap: .2em 1em; }
dl.values dt { font-weight: 600; }
dl.values dd { margin: 0; overflow-wrap: anywhere; }
ol.history li { margin-bottom: .8em; }
ol.history p { margin: .1em 0; overflow-wrap: anywhere; }
.source, .note { color: #666; font-size: .9em; }
.error { color: #b00020; font-weight: 600; }
tr.new td:last-child { color: #1565c0; }
tr.changed td:last-child, tr.conflict td:last-child { color: #b26a00; font-weight: 600; }
tr.failed td:last-child, tr.not_added td:last-child { color: #b00020; }
nav.pages { margin-top: 1em; display: flex; gap: 1em; }
@media (max-width: 40em) { th, td { padding: .2em .3em; font-size: .9em; } }
)";

}  // namespace corvane
