;;; eglot-lsp.el --- kelpin lsp under Emacs' eglot: the function list and
;;; go to definition.  Exits 0 when every check holds.
;; Debian's elpa-eglot and the newer project, xref and seq it needs, which
;; -Q leaves off the load path.
(dolist (dir (file-expand-wildcards "/usr/share/emacs/site-lisp/elpa/*"))
  (add-to-list 'load-path dir))
(require 'eglot)
(require 'imenu)
(require 'xref)

(defvar kelpin-failures 0)
(defun kelpin-check (ok what &optional detail)
  (princ (format "%s: %s%s\n" (if ok "ok" "FAIL") what
                 (if (and (not ok) detail) (format ": %S" detail) "")))
  (unless ok (setq kelpin-failures (1+ kelpin-failures))))

(let* ((work (file-name-as-directory (getenv "WORK")))
       (kelpin (getenv "KELPIN"))
       (project-find-functions (list (lambda (_dir) (cons 'transient work))))
       (eglot-server-programs `((c-mode ,kelpin "lsp")))
       (eglot-sync-connect 10))
  (condition-case err
      (progn
        (find-file (concat work "src/main.c"))
        (c-mode)
        ;; What M-x eglot does, with the contact eglot-server-programs gives.
        (apply #'eglot (eglot--guess-contact))
        (kelpin-check (eglot-current-server) "eglot connects")
        (let* ((index (funcall imenu-create-index-function))
               (names (mapcar #'car (apply #'append (mapcar (lambda (e) (if (consp (cdr e)) (cdr e) (list e))) index)))))
          (kelpin-check (and (member "helper" names) (member "main" names)) "imenu lists the functions" index))
        (goto-char (point-min))
        (search-forward "lib_add")
        (backward-char 2)
        (let ((xref (car (xref-backend-definitions 'eglot (xref-backend-identifier-at-point 'eglot)))))
          (kelpin-check (and xref (string-match-p "/src/lib\\.c\\'" (xref-location-group (xref-item-location xref))))
                        "definition in another file" xref))
        (eglot-shutdown (eglot-current-server)))
    (error (kelpin-check nil "the script ran through" err))))
(kill-emacs (if (= kelpin-failures 0) 0 1))
