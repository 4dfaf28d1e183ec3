/* forms.h: the manager's forms; each gets main's whole argv. */
#ifndef GRIDPROBE_MANAGER_FORMS_H
#define GRIDPROBE_MANAGER_FORMS_H

/* gridprobe-manager run [--wall S] [--user NAME] [--chdir DIR] -- PROG ... */
int run_main(int argc, char** argv);
/* gridprobe-manager check RODS_IN RODS_OUT [--full F] [--zero Z] */
int check_main(int argc, char** argv);
/* gridprobe-manager validate [FILE]: exit 42 valid, 43 invalid */
int validate_main(int argc, char** argv);
/* gridprobe-manager FIFO_FROM_USER FIFO_TO_USER (stdin: the case) */
int cms_main(int argc, char** argv);
/* gridprobe-manager INPUT ANSWER FEEDBACK_DIR [args] */
int kattis_main(int argc, char** argv);
/* gridprobe-manager show RODS_IN RODS_LOG [-o FILE] */
int show_main(int argc, char** argv);
/* gridprobe-interactor INPUT OUTPUT [ANSWER [RESULT [-appes]]] */
int testlib_interactor_main(int argc, char** argv);
/* gridprobe-checker INPUT OUTPUT ANSWER [RESULT [-appes]] */
int testlib_checker_main(int argc, char** argv);

#endif
