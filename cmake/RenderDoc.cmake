# Renders one Markdown document to a standalone HTML page with cmark:
#   cmake -DCMARK=/usr/bin/cmark -DINPUT=doc.md -DOUTPUT=doc.html -DTITLE="Title" -P RenderDoc.cmake
execute_process(COMMAND ${CMARK} --to html ${INPUT} OUTPUT_VARIABLE body RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "cmark could not render ${INPUT}")
endif()
file(WRITE "${OUTPUT}"
"<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>${TITLE}</title>\n"
"<style>body{font-family:sans-serif;max-width:52em;margin:2em auto;padding:0 1em;line-height:1.45}"
"code,pre{background:#f4f4f4}pre{padding:.5em;overflow:auto}table{border-collapse:collapse}"
"td,th{border:1px solid #ccc;padding:.2em .5em}</style>\n</head>\n<body>\n${body}</body>\n</html>\n")
