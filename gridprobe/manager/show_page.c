/* show_page.c: the page for a checked transcript: one HTML file, SVG inside,
   nothing fetched from anywhere. */
#include "show_page.h"

#include <stdio.h>

/* Grid area in pixels, and the margin for the axis labels. */
#define PAGE_GRID_PX 540.0
#define PAGE_MARGIN_PX 40.0
#define PAGE_ZOOM_PX 300.0
/* Calls drawn in full and numbered; older ones fade. */
#define PAGE_RECENT_CALLS 8

static void put_escaped(FILE* out, const char* text) {
  for (; *text != '\0'; ++text) {
    switch (*text) {
      case '&':
        fputs("&amp;", out);
        break;
      case '<':
        fputs("&lt;", out);
        break;
      case '>':
        fputs("&gt;", out);
        break;
      case '"':
        fputs("&quot;", out);
        break;
      default:
        putc(*text, out);
    }
  }
}

/* A JSON string's body that cannot end the script element holding it. */
static void put_json_text(FILE* out, const char* text) {
  for (; *text != '\0'; ++text) {
    unsigned char ch = (unsigned char)*text;
    if (ch == '"' || ch == '\\' || ch == '<' || ch == '>' || ch == '&' ||
        ch < 32)
      fprintf(out, "\\u%04x", ch);
    else
      putc(ch, out);
  }
}

/* A block of cells in grid units: column c spans x c-1..c, row r y r-1..r. */
static void put_box(FILE* out, const struct gp_show_box* b) {
  fprintf(out, "x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\"", b->c1 - 1,
          b->r1 - 1, b->c2 - b->c1 + 1, b->r2 - b->r1 + 1);
}

static struct gp_show_box rod_box(const int* k) {
  struct gp_show_box b;
  b.r1 = k[0] < k[2] ? k[0] : k[2];
  b.r2 = k[0] < k[2] ? k[2] : k[0];
  b.c1 = k[1] < k[3] ? k[1] : k[3];
  b.c2 = k[1] < k[3] ? k[3] : k[1];
  return b;
}

/* A reported rod may lie anywhere, even off the grid: drawn where it lies,
   cut to the grid. 0 when nothing of it is on the grid. */
static int reported_box(const int* k, int n, struct gp_show_box* b) {
  *b = rod_box(k);
  if (b->r1 < 1) b->r1 = 1;
  if (b->c1 < 1) b->c1 = 1;
  if (b->r2 > n) b->r2 = n;
  if (b->c2 > n) b->c2 = n;
  return b->r1 <= b->r2 && b->c1 <= b->c2;
}

static const char kStyle[] =
    "body{font:14px/1.4 sans-serif;margin:16px;color:#111827;"
    "background:#f3f4f6}\n"
    "h1{font-size:18px;margin:0 0 4px}\n"
    "header p{margin:2px 0}\n"
    ".right{color:#15803d}.wrong,.failed{color:#b91c1c}\n"
    "#verdict{font-weight:bold}\n"
    "main{display:flex;gap:16px;align-items:flex-start;margin-top:8px}\n"
    "svg{background:#e5e7eb;display:block}\n"
    "aside{min-width:320px;max-width:460px}\n"
    "#line,#end{font-family:monospace;background:#fff;padding:6px;"
    "margin:6px 0;border:1px solid #d1d5db;white-space:pre-wrap}\n"
    "#end:empty{display:none}\n"
    "#transcript{position:relative;font-family:monospace;font-size:12px;max-"
    "height:330px;"
    "overflow:auto;background:#fff;border:1px solid #d1d5db;margin:0;"
    "padding:4px 4px 4px 36px}\n"
    "#zoom~#transcript{max-height:180px}\n"
    "#zoomtext{margin:0 0 4px}\n"
    "#transcript li{cursor:pointer}\n"
    "#transcript li.on{background:#ede9fe}\n"
    "#step{width:220px;vertical-align:middle}\n"
    ".board{fill:#fff;stroke:#9ca3af}\n"
    ".cellgrid{stroke:#d1d5db;fill:none}\n"
    ".axis{font-family:sans-serif;fill:#374151}\n"
    ".call{stroke-width:1px}\n"
    ".yes{fill:#f97316;fill-opacity:.3;stroke:#c2410c}\n"
    ".no{fill:#0ea5e9;fill-opacity:.3;stroke:#0369a1}\n"
    /* Older calls fade so that the last ones stand out. */
    ".old{fill-opacity:.07;stroke-opacity:.35}\n"
    "#numbers{font-family:sans-serif;fill:#111827}\n"
    ".refused{fill:none;stroke:#be185d;stroke-width:2px;"
    "stroke-dasharray:6 3}\n"
    /* A call under a rod shows through its fill. */
    ".rod{fill:#111827;fill-opacity:.6;stroke:#111827;stroke-width:3px}\n"
    ".reported{fill:none;stroke-width:9px}\n"
    ".reported.right{stroke:#16a34a}\n"
    ".reported.wrong{stroke:#dc2626}\n"
    "#current{fill:none;stroke:#7c3aed;stroke-width:3px}\n"
    "#frame{fill:none;stroke:#7c3aed;stroke-width:1px;"
    "stroke-dasharray:4 3}\n"
    ".legend span{display:inline-block;width:12px;height:12px;"
    "margin:0 4px 0 10px;vertical-align:-2px;border:1px solid #6b7280}\n"
    "[hidden]{display:none}\n"
    "*{vector-effect:non-scaling-stroke}\n";

/* Steps: 0 before any call, 1..ncalls the calls, then the report or lone
   error line when the transcript has one. The script only shows and hides. */
static const char kScript[] =
    "(function(){\n"
    "var d=JSON.parse(document.getElementById('data').textContent);\n"
    "var slider=document.getElementById('step');\n"
    "var items=document.querySelectorAll('#transcript li');\n"
    "var calls=document.querySelectorAll('#calls rect');\n"
    "var nums=document.querySelectorAll('#numbers text');\n"
    "var cur=document.getElementById('current');\n"
    "var rep=document.getElementById('reported');\n"
    "var zoom=document.getElementById('zoom');\n"
    "var frame=document.getElementById('frame');\n"
    "var lines=document.getElementById('zoomcells');\n"
    "function show(k){\n"
    " k=Math.max(0,Math.min(d.last,k|0));\n"
    " slider.value=k;\n"
    " for(var i=0;i<calls.length;i++){calls[i].style.display=i<k?'':'none';\n"
    "  calls[i].classList.toggle('old',i<k-d.recent);\n"
    "  if(nums[i])nums[i].style.display=i<k&&i>=k-d.recent?'':'none';}\n"
    " var c=k>=1&&k<=d.calls.length?d.calls[k-1]:null;\n"
    " if(c&&c[4]){cur.setAttribute('x',c[2]-1);cur.setAttribute('y',c[0]-1);\n"
    "  cur.setAttribute('width',c[3]-c[2]+1);"
    "cur.setAttribute('height',c[1]-c[0]+1);cur.style.display='';}\n"
    " else cur.style.display='none';\n"
    " if(rep)rep.style.display=k==d.last&&d.reported?'':'none';\n"
    " for(i=0;i<items.length;i++)items[i].className=i==k?'on':'';\n"
    " var it=items[k],ol=it.parentNode;\n"
    " if(it.offsetTop<ol.scrollTop)ol.scrollTop=it.offsetTop;\n"
    " else if(it.offsetTop+it.offsetHeight>ol.scrollTop+ol.clientHeight)\n"
    "  ol.scrollTop=it.offsetTop+it.offsetHeight-ol.clientHeight;\n"
    " document.getElementById('line').textContent="
    "items[k]?items[k].textContent:'';\n"
    " document.getElementById('stepno').textContent="
    "'Step '+k+' of '+d.last;\n"
    " document.getElementById('end').textContent=k==d.last?d.verdict:'';\n"
    " if(zoom){\n"
    "  var last=Math.min(k,d.calls.length);\n"
    "  var z=last>0?d.calls[last-1].slice(5):[1,d.n,1,d.n];\n"
    "  var side=z[1]-z[0]+1,pad=side*0.04;\n"
    "  zoom.setAttribute('viewBox',(z[2]-1-pad)+' '+(z[0]-1-pad)+' '+"
    "(side+2*pad)+' '+(side+2*pad));\n"
    "  frame.setAttribute('x',z[2]-1);frame.setAttribute('y',z[0]-1);\n"
    "  frame.setAttribute('width',side);frame.setAttribute('height',side);\n"
    "  var p='';\n"
    "  if(side<=d.cellsMax){for(i=0;i<=side;i++){\n"
    "   p+='M'+(z[2]-1+i)+' '+(z[0]-1)+'v'+side+'M'+(z[2]-1)+' '+(z[0]-1+i)+"
    "'h'+side;}}\n"
    "  lines.setAttribute('d',p);\n"
    "  document.getElementById('zoomtext').textContent='Zoom: rows '+z[0]+"
    "'\\u2013'+z[1]+', columns '+z[2]+'\\u2013'+z[3];\n"
    " }\n"
    "}\n"
    "slider.addEventListener('input',function(){show(+slider.value);});\n"
    "document.getElementById('prev').onclick=function(){show(+slider.value-1);}"
    ";\n"
    "document.getElementById('next').onclick=function(){show(+slider.value+1);}"
    ";\n"
    "for(var i=0;i<items.length;i++)(function(k){items[k].onclick="
    "function(){show(k);};})(i);\n"
    "document.addEventListener('keydown',function(e){\n"
    " if(e.target===slider)return;\n"
    " var k=+slider.value,m={ArrowRight:1,ArrowDown:1,ArrowLeft:-1,"
    "ArrowUp:-1,PageDown:10,PageUp:-10};\n"
    " if(e.key in m)k+=m[e.key];else if(e.key=='Home')k=0;"
    "else if(e.key=='End')k=d.last;else return;\n"
    " e.preventDefault();show(k);\n"
    "});\n"
    "var h=/step=(\\d+)/.exec(location.hash);\n"
    "show(h?+h[1]:d.last);\n"
    "})();\n";

static void put_label(FILE* out, int v, double unit) {
  fprintf(out,
          "<text x=\"%.4f\" y=\"%.4f\" text-anchor=\"middle\">%d</text>"
          "<text x=\"%.4f\" y=\"%.4f\" text-anchor=\"end\" "
          "dominant-baseline=\"middle\">%d</text>\n",
          v - 0.5, -8.0 * unit, v, -6.0 * unit, v - 0.5, v);
}

/* Labels 1, the multiples of the step, and N unless one stands beside it. */
static void put_axes(FILE* out, int n, double unit) {
  int step = gp_show_tick_step(n), v, last = 1;
  fprintf(out, "<g class=\"axis\" font-size=\"%.4f\">\n", 11.0 * unit);
  put_label(out, 1, unit);
  for (v = step; v <= n; v += step)
    if (v > 1) put_label(out, last = v, unit);
  if (last != n && 3 * (n - last) >= step) put_label(out, n, unit);
  fputs("</g>\n", out);
}

static void put_cell_lines(FILE* out, int n) {
  int i;
  fputs("<path class=\"cellgrid\" d=\"", out);
  for (i = 1; i < n; ++i) fprintf(out, "M%d 0v%dM0 %dh%d", i, n, i, n);
  fputs("\"/>\n", out);
}

static void put_scene(FILE* out, const struct gp_show* s, int right) {
  int i, n = s->c.n;
  struct gp_show_box b;
  fputs("<g id=\"scene\">\n", out);
  if (s->reported && s->end == GP_SHOW_REPORTED) {
    fprintf(out, "<g id=\"reported\" class=\"reported %s\">\n",
            right ? "right" : "wrong");
    for (i = 0; i < 2; ++i)
      if (reported_box(s->answer + 4 * i, n, &b)) {
        fprintf(out, "<rect id=\"reported%d\" ", i + 1);
        put_box(out, &b);
        fputs("/>\n", out);
      }
    fputs("</g>\n", out);
  }
  fputs("<g id=\"calls\">\n", out);
  for (i = 0; i < s->ncalls; ++i) {
    const struct gp_show_call* k = &s->calls[i];
    const char* cls = k->answer == 1   ? "yes"
                      : k->answer == 0 ? "no"
                                       : "refused";
    struct gp_show_box shown = k->box;
    if (k->answer < 0) { /* arguments as refused: ordered, cut to the grid */
      const int v[4] = {k->box.r1, k->box.c1, k->box.r2, k->box.c2};
      if (!reported_box(v, n, &shown)) shown.r2 = shown.r1 - 1; /* none */
    }
    fprintf(out, "<rect class=\"call %s\" data-call=\"%d\" ", cls, k->number);
    put_box(out, &shown);
    fputs("><title>", out);
    put_escaped(out, k->text);
    fputs("</title></rect>\n", out);
  }
  fputs("</g>\n", out);
  for (i = 0; i < 2; ++i) {
    b = rod_box(s->c.coord + 4 * i);
    fprintf(out, "<rect class=\"rod\" id=\"rod%d\" ", i + 1);
    put_box(out, &b);
    fprintf(out, "><title>rod %d</title></rect>\n", i + 1);
  }
  fputs(
      "<rect id=\"current\" x=\"0\" y=\"0\" width=\"1\" height=\"1\"/>\n"
      "</g>\n",
      out);
}

/* Each call's number at its block's corner: in the main view only, where
   the text keeps its size whatever the grid. */
static void put_numbers(FILE* out, const struct gp_show* s, double unit) {
  int i;
  fprintf(out, "<g id=\"numbers\" font-size=\"%.4f\">\n", 10.0 * unit);
  for (i = 0; i < s->ncalls; ++i) {
    const struct gp_show_call* k = &s->calls[i];
    int r = k->box.r1 < 1 ? 1 : k->box.r1 > s->c.n ? s->c.n : k->box.r1;
    int c = k->box.c1 < 1 ? 1 : k->box.c1 > s->c.n ? s->c.n : k->box.c1;
    fprintf(out, "<text x=\"%.4f\" y=\"%.4f\">%d</text>\n", c - 1 + 2.0 * unit,
            r - 1 + 10.0 * unit, k->number);
  }
  fputs("</g>\n", out);
}

static void put_data(FILE* out, const struct gp_show* s, int last) {
  int i;
  fprintf(out,
          "<script type=\"application/json\" id=\"data\">{\"n\":%d,"
          "\"last\":%d,\"recent\":%d,\"cellsMax\":%d,\"reported\":%s,"
          "\"verdict\":\"",
          s->c.n, last, PAGE_RECENT_CALLS, GP_SHOW_CELLS_MAX,
          s->end == GP_SHOW_REPORTED ? "true" : "false");
  put_json_text(out, s->verdict.message);
  fputs("\",\"calls\":[", out);
  for (i = 0; i < s->ncalls; ++i) {
    const struct gp_show_call* k = &s->calls[i];
    fprintf(out, "%s[%d,%d,%d,%d,%d,%d,%d,%d,%d]", i > 0 ? "," : "", k->box.r1,
            k->box.r2, k->box.c1, k->box.c2, k->answer >= 0, k->zoom.r1,
            k->zoom.r2, k->zoom.c1, k->zoom.c2);
  }
  fputs("]}</script>\n", out);
}

void gp_show_page(FILE* out, const struct gp_show* s, const char* title) {
  int n = s->c.n, i, last, zoomed = !gp_show_cells(n);
  int right = s->end == GP_SHOW_REPORTED && s->verdict.verdict != GP_WRONG;
  const int* k = s->c.coord;
  double unit = n / PAGE_GRID_PX, margin = PAGE_MARGIN_PX * unit;
  double size = PAGE_GRID_PX + PAGE_MARGIN_PX + 16.0;
  last = s->ncalls + (s->end_text[0] != '\0' ? 1 : 0);

  fputs(
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src "
      "'none'; style-src 'unsafe-inline'; script-src 'unsafe-inline'\">\n"
      "<title>",
      out);
  put_escaped(out, title);
  fprintf(out,
          "</title>\n<style>\n%s</style>\n</head>\n<body>\n<header>\n"
          "<h1>",
          kStyle);
  put_escaped(out, title);
  fprintf(out,
          "</h1>\n<p id=\"case\">Grid %d &times; %d; rod 1: row %d, columns "
          "%d&ndash;%d; rod 2: column %d, rows %d&ndash;%d; %d rect calls, "
          "%d gridsize calls.</p>\n",
          n, n, k[0], k[1], k[3], k[5], k[4], k[6], s->ncalls,
          s->gridsize_calls);
  fprintf(out, "<p id=\"verdict\" class=\"%s\">",
          s->end != GP_SHOW_REPORTED ? "failed"
          : right                    ? "right"
                                     : "wrong");
  put_escaped(out, s->verdict.message);
  if (s->reported)
    fprintf(out,
            " Reported: rod 1 (%d,%d)&ndash;(%d,%d), rod 2 "
            "(%d,%d)&ndash;(%d,%d).",
            s->answer[0], s->answer[1], s->answer[2], s->answer[3],
            s->answer[4], s->answer[5], s->answer[6], s->answer[7]);
  if (s->broken_line > 0)
    fprintf(out, " The transcript breaks off in line %d.", s->broken_line);
  fputs(
      "</p>\n<p class=\"legend\"><span style=\"background:#fbd0b0\"></span>"
      "meets a rod<span style=\"background:#b3e3f8\"></span>meets none"
      "<span style=\"background:#111827\"></span>the rods"
      "<span style=\"border:2px solid #7c3aed\"></span>current call",
      out);
  if (s->end == GP_SHOW_REPORTED)
    fprintf(out, "<span style=\"background:%s\"></span>reported rods",
            right ? "#16a34a" : "#dc2626");
  fputs("</p>\n</header>\n<main>\n<div id=\"views\">\n", out);

  fprintf(
      out,
      "<svg id=\"grid\" width=\"%.0f\" height=\"%.0f\" "
      "viewBox=\"%.4f %.4f %.4f %.4f\" xmlns=\"http://www.w3.org/2000/svg\">\n",
      size, size, -margin, -margin, size * unit, size * unit);
  fprintf(out,
          "<rect class=\"board\" x=\"0\" y=\"0\" width=\"%d\" "
          "height=\"%d\"/>\n",
          n, n);
  if (!zoomed) put_cell_lines(out, n);
  put_axes(out, n, unit);
  put_scene(out, s, right);
  put_numbers(out, s, unit);
  if (zoomed)
    fputs("<rect id=\"frame\" x=\"0\" y=\"0\" width=\"1\" height=\"1\"/>\n",
          out);
  fputs("</svg>\n", out);
  fputs("</div>\n<aside>\n", out);
  if (zoomed)
    fprintf(
        out,
        "<p id=\"zoomtext\"></p>\n<svg id=\"zoom\" width=\"%.0f\" "
        "height=\"%.0f\" viewBox=\"0 0 %d %d\" "
        "xmlns=\"http://www.w3.org/2000/svg\">\n"
        "<rect class=\"board\" x=\"0\" y=\"0\" width=\"%d\" height=\"%d\"/>\n"
        "<path id=\"zoomcells\" class=\"cellgrid\" d=\"\"/>\n"
        "<use href=\"#scene\"/>\n</svg>\n",
        PAGE_ZOOM_PX, PAGE_ZOOM_PX, n, n, n, n);
  fprintf(
      out,
      "<div><button id=\"prev\" title=\"previous (Left)\">"
      "&#9664;</button> <input type=\"range\" id=\"step\" min=\"0\" "
      "max=\"%d\" value=\"%d\"> <button id=\"next\" title=\"next "
      "(Right)\">&#9654;</button> <span id=\"stepno\"></span></div>\n"
      "<div id=\"line\"></div>\n<div id=\"end\"></div>\n"
      "<ol id=\"transcript\" start=\"0\">\n<li>(before the first call)</li>\n",
      last, last);
  for (i = 0; i < s->ncalls; ++i) {
    fputs("<li>", out);
    put_escaped(out, s->calls[i].text);
    fputs("</li>\n", out);
  }
  if (s->end_text[0] != '\0') {
    fputs("<li>", out);
    put_escaped(out, s->end_text);
    fputs("</li>\n", out);
  }
  fputs("</ol>\n</aside>\n</main>\n", out);
  put_data(out, s, last);
  fprintf(out, "<script>\n%s</script>\n</body>\n</html>\n", kScript);
}
